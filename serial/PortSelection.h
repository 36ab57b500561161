// The serial settings bar's two lists as plain data: which ports are offered,
// which baud rates, what is preselected, and what is saved in section "Com".
// The window only moves data between these and its combo boxes.
#pragma once

#include <string>
#include <vector>

#include "settings/ComSettings.h"

extern const char kPortPrompt[];  // "请选择串口", entry 0 of the port list
extern const char kBaudPrompt[];  // "请选择波特率", entry 0 of the baud list

// Whether port `number` can be opened exclusively right now: its device exists,
// is a terminal, and no one (this program included) holds it.
bool ProbePort(int number);

// The port list: the prompt, then "COM%d" for each of 1..15 that answers the
// probe, or whose device is `heldDevice` (the port this program has open,
// which the probe cannot lock: it stays on offer).
std::vector<std::string> ProbePortList(const std::string& heldDevice = std::string());

// The baud list: the prompt, then the items of `baunds`: the whole text
// trimmed, split at commas, spaces removed inside each item, empty items
// skipped; order and duplicates kept.
std::vector<std::string> BaudList(const std::string& baunds);

// The entry to preselect for the saved rate `baund`: the first entry from 1 on
// whose text begins with it (ignoring ASCII case), else entry 0 if it matches,
// else 0.
int PreselectBaud(const std::vector<std::string>& entries, const std::string& baund);

// The port entry to select for the saved "com" index: negative counts as 0;
// beyond the last entry there is no selection (-1).
int PortSelectionFor(int com, size_t entryCount);

// What the close of the window writes to section "Com". baudEntries: the baud list with its prompt;
// baudSelection: its selected index
// (-1: none, the typed text is the choice); portSelection likewise for the ports.
ComSection BuildComSection(const std::vector<std::string>& baudEntries, int baudSelection,
                           const std::string& typedBaud, int portSelection);
