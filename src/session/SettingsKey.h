#pragma once

// The per-user settings key and its values; the machine-wide key of the same name holds a
// default "StyleSheetFile" only.
namespace SettingsKey {

inline constexpr char16_t Path[] = u"Software\\Corvane\\Tabulon";

inline constexpr char16_t JobOrSurmexFile[] = u"JobOrSurmexFile";
inline constexpr char16_t StyleSheetFile[] = u"StyleSheetFile";
inline constexpr char16_t TextFileViewer[] = u"TextFileViewer";
inline constexpr char16_t ViewGeneratedFile[] = u"ViewGeneratedFile";
inline constexpr char16_t DefaultFileExtensionIndex[] = u"DefaultFileExtensionIndex";
inline constexpr char16_t MainDialogPosition[] = u"MainDialogPosition";
inline constexpr char16_t HelpDialogPosition[] = u"HelpDialogPosition";

} // namespace SettingsKey
