// The serial settings bar's two lists as plain data: which ports are offered,
// which baud rates, what is preselected, and what is saved in section "Com".
// The window only moves data between these and its combo boxes.
#pragma once

#include <string>
#include <vector>

#include "settings/ComSettings.h"

extern const char kPortPrompt[];  // "请选择串口", entry 0 of the port list
extern const char kBaudPrompt[];  // "请选择波特率", entry 0 of the baud list
// The prompts in the chosen language, for display.
const char* PortPrompt();
const char* BaudPrompt();

// What the probe found at a port's device file.
enum class PortState {
    Free,          // a terminal that can be opened exclusively now
    NoPermission,  // there, but this user may not open it (not in its group)
    Busy,          // held by another program (or another open of this one)
    Missing,       // no such file, or no hardware behind it
    NotSerial,     // a file that is no terminal
};

// How the user's current rights and the other programs leave `device`. The
// real open is tried: as root every device can be opened.
PortState ProbeDevice(const std::string& device);

// Whether port `number` can be opened exclusively right now: its device exists,
// is a terminal, and no one (this program included) holds it.
bool ProbePort(int number);

// One entry of the port list: "COM%d" (or a device path the user typed), the
// device file behind it and what the probe found there.
struct CPortEntry {
    std::string name;
    std::string device;
    PortState state = PortState::Free;
    // The list's text: the name, and why it cannot be opened when it cannot
    // ("COM5（无权限）", "COM7（被占用）", "COM3（未连接）").
    std::string Text() const;
};

// The entry `name` for `device` as the probe finds it; `heldDevice` (the
// port this program has open) counts as free.
CPortEntry ProbeEntry(const std::string& name, const std::string& device,
                      const std::string& heldDevice = std::string());

// What the user should know of an entry beside its text: the device file,
// and when it cannot be opened, why and what to do.
std::string PortEntryDetail(const CPortEntry& entry);

// "COM%d" for each of 1..15 whose device is there: free, held, or not to be
// opened by this user. The device `heldDevice` (the port this program has
// open, which the probe cannot lock) counts as free.
std::vector<CPortEntry> ProbePortEntries(const std::string& heldDevice = std::string());

// The port list's texts: the prompt, then ProbePortEntries' texts.
std::vector<std::string> ProbePortList(const std::string& heldDevice = std::string());

// The name of an entry's text: "COM5（无权限）" gives "COM5".
std::string PortEntryName(const std::string& text);

// "COM5" (any case) -> 5; 0 when `text` is no port name. The command-line
// tools take a port by its number, as the window's list names it.
int PortNumberOf(const std::string& text);

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
// portName: the chosen entry's name (empty for the prompt or none); device:
// the device path the user typed, empty when none.
ComSection BuildComSection(const std::vector<std::string>& baudEntries, int baudSelection,
                           const std::string& typedBaud, int portSelection,
                           const std::string& portName = std::string(),
                           const std::string& device = std::string());
