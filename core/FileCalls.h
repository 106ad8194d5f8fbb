#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// The steps the jobs of the file layer share (Files.h is the layer; each job has a file of its own:
// TextLines.cpp, AtomicReplace.cpp, DurableAppend.cpp, CountLines.cpp). The system calls are retried
// while a signal interrupts them and report the errno of their failure.
namespace platform::io {

// A line break inside a line would silently turn one record into two.
bool hasLineBreak(const QString& text);

// "Could not <what> <path>: <why>": the error text every job returns.
QString failure(const QString& what, const QString& path, const QString& why);

// open(2); -1 with errno on failure.
int openRetrying(const QByteArray& name, int flags, mode_t mode = 0);
// Writes all of it. Returns 0 or the errno of the first failure.
int writeAll(int fd, const char* data, qsizetype size);
// Reads exactly size bytes at offset. Returns 0 or the errno of the first failure.
int readAt(int fd, char* data, qsizetype size, off_t offset);
// fsync of a folder, so that creating or renaming a file in it survives a power cut. Returns 0 or the
// errno of the first failure.
int syncFolderError(const QString& folderPath);

// Closes a descriptor whose close has nothing to tell: the job has already failed and reports its
// first error, or the file was only read, or the close only drops a lock on data already synced and
// checked by an earlier close.
void closeQuietly(int fd);
// Removes what a failed job made, which the job's next run replaces anyway; the job's own error is
// what the caller must see.
void removeQuietly(const QByteArray& name);

} // namespace platform::io
