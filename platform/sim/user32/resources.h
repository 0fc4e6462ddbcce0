// The program's resources as the Windows build has them: the entries of the
// compiled resource file and the classic dialog templates in it.
#pragma once

#include "platform/win32.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// The instance handle of the program's module, the one that holds its
// resources (the value Windows loads an executable at).
HINSTANCE ProgramInstance();

// One entry of a compiled resource file (.res): type and name are either an
// ordinal or a UTF-16 name.
struct ResourceEntry {
  std::optional<WORD> typeId;
  std::u16string typeName;
  std::optional<WORD> nameId;
  std::u16string name;
  WORD language = 0;
  std::string data;
};
// Reads a .res file; nullopt when it is malformed anywhere.
std::optional<std::vector<ResourceEntry>> ParseResourceFile(std::string_view bytes);
// The program's own resources, compiled from res/setup.rc at build time.
const std::vector<ResourceEntry>& ProgramResources();

struct DialogItemTemplate {
  DWORD style = 0;
  DWORD exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  WORD id = 0;
  WORD classOrdinal = 0;        // 0x80 button, 0x81 edit, 0x82 static, 0x85 combo box; 0: named
  std::u16string className;     // when the class is named
  std::optional<WORD> textOrdinal;  // a resource ordinal instead of a text (icons of static controls)
  std::u16string text;
  std::string creationData;
};
struct DialogTemplate {
  DWORD style = 0;
  DWORD exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  std::optional<WORD> menuId;
  std::u16string menuName;
  std::optional<WORD> classId;
  std::u16string className;
  std::u16string caption;
  WORD pointSize = 0;  // with DS_SETFONT
  std::u16string faceName;
  std::vector<DialogItemTemplate> items;
};
// Reads a classic dialog template (DLGTEMPLATE and its items). An extended
// template (DLGTEMPLATEEX) or a malformed one gives nullopt.
std::optional<DialogTemplate> ParseDialogTemplate(std::string_view bytes);
// The program's dialog resource `id`, or null when there is none.
const DialogTemplate* FindDialogTemplate(int id);

}  // namespace sim
