// Menus declared as tables: a real Win32 menu bar built from a list of
// items, each with its design name and caption, a level (0 on the bar, 1 in
// the popup of the level-0 item above it), a tick and an enabled state. The
// window sets run-time captions, ticks and enabled states by name and binds
// click handlers, by the handler name of the table (Form::HandleMenuClick)
// or by item name (Bind); WM_COMMAND of an item runs its handler.
//
//   constexpr MenuItemSpec kMenu[] = {
//     {.name = "Addnew1", .caption = "Edit"},
//     {.name = "NewPicture1", .caption = "Add New Pictures", .level = 1, .onClick = "NewPicture1Click"},
//     {.name = "N1", .caption = "-", .level = 1},
//     {.name = "Quit2", .caption = "Quit", .onClick = "Quit2Click"},  // a command on the bar itself
//   };
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/HandlesWin32.h"

namespace velmora {

struct MenuItemSpec {
  const char* name = nullptr;
  const char* caption = nullptr;  // UTF-8; "-" is a separator
  int level = 0;                  // 0: on the bar; 1: in the popup of the level-0 item above;
                                  // 2: in the submenu of the level-1 item above
  bool checked = false;
  bool radio = false;             // ticked with a bullet, as one of a group of choices
  bool enabled = true;
  int id = 0;                     // command id; 0: assigned (from 40001 on)
  const char* onClick = nullptr;  // handler name (BindHandler); the form requires it bound
};

class Menu {
 public:
  Menu() = default;
  Menu(const Menu&) = delete;
  Menu& operator=(const Menu&) = delete;
  ~Menu();

  // Builds the menu bar. A level-0 item followed by level-1 items gets a
  // popup; a level-0 item without any is a command on the bar. False when
  // the table is inconsistent (a level-1 item first, a duplicate name) or
  // USER cannot make the menu.
  bool Build(std::span<const MenuItemSpec> items);
  HMENU Handle() const noexcept { return menu_.get(); }
  // Puts the bar on `window` (not owned); the menu stays owned by this
  // object, which takes it back from the window before the window goes.
  bool AttachTo(HWND window);
  void DetachFrom(HWND window);

  bool Contains(std::string_view name) const;
  int IdOf(std::string_view name) const;  // 0 when unknown

  // Run-time state by name; false for an unknown name.
  bool SetCaption(std::string_view name, std::string_view utf8);
  std::string Caption(std::string_view name) const;
  bool SetChecked(std::string_view name, bool checked);
  bool Checked(std::string_view name) const;
  bool SetEnabled(std::string_view name, bool enabled);
  bool Enabled(std::string_view name) const;

  // The click handler of the item of that name (replaces an earlier one).
  // An unknown name is a programming error: throws std::logic_error
  // naming it.
  void Bind(std::string_view name, std::function<void()> handler);
  // Binds the handler to every item whose table entry names `handlerName`
  // as its onClick; returns how many.
  int BindHandler(std::string_view handlerName, const std::function<void()>& handler);
  // The handler names of the table whose items have no handler yet, each
  // with its item ("Save1Click (menu item Save1)").
  std::vector<std::string> UnboundHandlers() const;
  // Runs the handler of the item with this command id; false when no item
  // has it, or the item is disabled or has no handler.
  bool Dispatch(int id);

 private:
  struct Item {
    std::string name;
    std::string onClick;    // handler name from the table; empty: none
    HMENU owner = nullptr;  // the menu holding the item; not owned
    UINT position = 0;      // its position there
    int id = 0;
    bool popup = false;
    std::function<void()> handler;
  };
  const Item* Find(std::string_view name) const;
  Item* Find(std::string_view name);
  void Redraw() const;

  UniqueMenu menu_;
  HWND window_ = nullptr;  // the window showing the bar; not owned
  std::vector<Item> items_;
  std::map<int, size_t> byId_;
};

}  // namespace velmora
