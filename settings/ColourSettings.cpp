#include "settings/ColourSettings.h"

#include "settings/SectionKeys.h"

namespace {

const settings::Keys<CColourSettings> kKeys = {{"row", &CColourSettings::row},
                                               {"column", &CColourSettings::column},
                                               {"interrow", &CColourSettings::interrow},
                                               {"intercolumn", &CColourSettings::intercolumn}};

}  // namespace

CColourSettings CColourSettings::Load(const std::string& path) {
    return settings::LoadKeys("Colour", kKeys, path);
}

void CColourSettings::Save(const std::string& path, const std::vector<std::string>& skip) const {
    settings::SaveKeys(*this, "Colour", kKeys, path, skip);
}
