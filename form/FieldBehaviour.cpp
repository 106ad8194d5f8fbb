#include "form/Window1.h"

void Window1::FirstNameField_ValidationError(const QString&, int) {}
void Window1::CountryField_Change() {}
void Window1::ClearButton_Action() {}
void Window1::ResetWindowData() {}
