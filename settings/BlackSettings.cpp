#include "settings/BlackSettings.h"

#include "settings/SectionKeys.h"

namespace {

const settings::Keys<CBlackSettings> kKeys = {{"row", &CBlackSettings::row},
                                              {"column", &CBlackSettings::column},
                                              {"bnumbr", &CBlackSettings::bnumbr},
                                              {"threshold", &CBlackSettings::threshold},
                                              {"bimage", &CBlackSettings::bimage},
                                              {"interrow", &CBlackSettings::interrow},
                                              {"intercolumn", &CBlackSettings::intercolumn}};

}  // namespace

CBlackSettings CBlackSettings::Load(const std::string& path) {
    return settings::LoadKeys("Black", kKeys, path);
}

void CBlackSettings::Save(const std::string& path, const std::vector<std::string>& skip) const {
    settings::SaveKeys(*this, "Black", kKeys, path, skip);
}
