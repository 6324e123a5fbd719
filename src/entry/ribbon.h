// Kelvora's tab on Excel's ribbon: its groups and buttons, in one table,
// and the customUI markup the add-in hands to Excel. Each button runs one
// command of kCommands (or kReportCommand) by name, or one of the two
// workbook actions of the tab.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace kelvora {

// What a click on a button does.
enum class RibbonAction {
  kCommand,        // runs the command named `callback` on the active workbook
  kNewWorkbook,    // opens a new workbook from the template
  kCheckWorkbook,  // checks the active workbook's shape and says what it found
};

struct RibbonButton {
  std::string_view group;     // the id of its group (kRibbonGroups)
  std::string_view id;        // the control's id, unique in the markup
  std::string label;          // what the button shows (UTF-8)
  std::string_view callback;  // the onAction name the add-in answers to
  RibbonAction action;
  std::string_view image;   // a built-in icon of Office (imageMso)
  std::string screentip;    // the tooltip's title (UTF-8)
  std::string supertip;     // what the button does (UTF-8)
  std::string_view keytip;  // the key that presses it, unique on the tab
};

struct RibbonGroup {
  std::string_view id;
  std::string_view label;
  std::string_view keytip;
};

// The groups in the order of the tab, and the buttons in the order of the
// tab, group after group.
std::span<const RibbonGroup> RibbonGroups();
std::span<const RibbonButton> RibbonButtons();

// The button whose callback equals `name` without regard to letter case;
// null when there is none.
const RibbonButton* FindRibbonButton(std::string_view name);

// The ribbon id of Excel's workbook window, the only one the tab is for.
inline constexpr std::u16string_view kExcelRibbonId = u"Microsoft.Excel.Workbook";

// The whole customUI document of the tab (2009/07 namespace), UTF-8.
std::string RibbonMarkup();

}  // namespace kelvora
