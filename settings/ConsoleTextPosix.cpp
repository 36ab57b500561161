#include "settings/ConsoleText.h"

// The terminal and argv are UTF-8 already (the locale's bytes, passed on as
// they are).
void UseUtf8Console(int&, char**&) {}
