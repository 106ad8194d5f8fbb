#include "form/Window1.h"

void Window1::SaveButton_Action() {}
