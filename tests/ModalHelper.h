#pragma once

#include <QString>
#include <QWidget>
#include <functional>

// Drives modal windows from a test. A modal window runs its own event loop, so the test arranges
// beforehand what to do with it: act is called with the next modal window that opens (one that was not
// already the top modal window when whenModal was called). Calls nest: act may arrange the next one.
void whenModal(std::function<void(QWidget* modal)> act, int timeoutMs = 10000);

// The common case: the next modal window is a message box; its text is stored in *text and OK pressed.
void answerMessageBox(QString* text);

// True when a modal window other than the given one is open.
QWidget* topModal();
