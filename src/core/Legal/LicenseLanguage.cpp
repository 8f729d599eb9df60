#include "core/Legal/LicenseLanguage.hpp"

namespace halyard {

const std::vector<LicenseLanguage>& LicenseLanguage::all() {
  static const std::vector<LicenseLanguage> languages = {
      {"en-US", "EN", "English (US)"},
      {"en-GB", "EN", "English"},
      {"ar", "AR", "Arabic"},
      {"zh-Hans", "ZH", "Chinese Simplified"},
      {"zh-Hant", "ZH", "Chinese Traditional"},
      {"nl", "NL", "Dutch"},
      {"fr-FR", "FR", "French"},
      {"de-DE", "DE", "German"},
      {"hi", "HI", "Hindi"},
      {"id", "ID", "Indonesian"},
      {"it-IT", "IT", "Italian"},
      {"ja", "JA", "Japanese"},
      {"ko", "KO", "Korean"},
      {"pl", "PL", "Polish"},
      {"pt-BR", "PT", "Portuguese"},
      {"ru", "RU", "Russian"},
      {"es-ES", "ES", "Spanish"},
      {"th", "TH", "Thai"},
      {"tr", "TR", "Turkish"},
      {"uk", "UK", "Ukrainian"},
      {"vi", "VI", "Vietnamese"},
  };
  return languages;
}

const LicenseLanguage& LicenseLanguage::englishUS() {
  return all().front();
}

} // namespace halyard
