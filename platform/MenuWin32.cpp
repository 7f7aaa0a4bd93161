#include "platform/MenuWin32.h"

#include <set>
#include <stdexcept>

#include "platform/ApplicationWin32.h"

namespace velmora {

namespace {
constexpr int kFirstCommandId = 40001;

bool IsSeparator(const char* caption) { return caption != nullptr && std::string_view(caption) == "-"; }
}  // namespace

Menu::~Menu() {
  if (window_ != nullptr) DetachFrom(window_);
}

bool Menu::Build(std::span<const MenuItemSpec> items) {
  if (menu_) return false;
  constexpr int kDeepest = 2;
  {
    std::set<std::string_view> names;
    for (size_t i = 0; i < items.size(); ++i) {
      if (items[i].name == nullptr || !names.insert(items[i].name).second) return false;
      if (items[i].level < 0 || items[i].level > kDeepest || (i == 0 && items[i].level != 0)) return false;
      if (i > 0 && items[i].level > items[i - 1].level + 1) return false;
    }
  }
  UniqueMenu bar(::CreateMenu());
  if (!bar) return false;
  std::vector<Item> built;
  std::map<int, size_t> byId;
  // The menu each level's items go into (the bar for level 0) and the next
  // position there.
  HMENU owners[kDeepest + 1] = {bar.get(), nullptr, nullptr};
  UINT positions[kDeepest + 1] = {0, 0, 0};
  for (size_t i = 0; i < items.size(); ++i) {
    const MenuItemSpec& spec = items[i];
    const int level = spec.level;
    const std::wstring caption = WidenUtf8(spec.caption != nullptr ? spec.caption : "");
    Item item;
    item.name = spec.name;
    if (spec.onClick != nullptr) item.onClick = spec.onClick;
    item.id = spec.id != 0 ? spec.id : kFirstCommandId + static_cast<int>(i);
    UINT flags = MF_STRING | (spec.checked ? MF_CHECKED : 0) | (spec.enabled ? 0 : MF_GRAYED);
    HMENU owner = owners[level];
    const bool hasPopup = i + 1 < items.size() && items[i + 1].level == level + 1;
    if (hasPopup) {
      HMENU popup = ::CreatePopupMenu();
      if (popup == nullptr) return false;
      if (!::AppendMenuW(owner, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(popup), caption.c_str())) {
        ::DestroyMenu(popup);
        return false;
      }
      item.popup = true;
      item.id = 0;
      owners[level + 1] = popup;
      positions[level + 1] = 0;
    } else {
      if (level > 0 && IsSeparator(spec.caption)) {
        flags = MF_SEPARATOR;
        item.id = 0;
      }
      if (!::AppendMenuW(owner, flags, static_cast<UINT_PTR>(item.id), caption.c_str())) return false;
    }
    item.owner = owner;
    item.position = positions[level]++;
    if (spec.radio) {
      MENUITEMINFOW info{};
      info.cbSize = sizeof(info);
      info.fMask = MIIM_FTYPE;
      info.fType = MFT_STRING | MFT_RADIOCHECK;
      ::SetMenuItemInfoW(owner, item.position, TRUE, &info);
    }
    if (item.id != 0) byId.emplace(item.id, built.size());
    built.push_back(std::move(item));
  }
  menu_ = std::move(bar);
  items_ = std::move(built);
  byId_ = std::move(byId);
  return true;
}

bool Menu::AttachTo(HWND window) {
  if (!menu_ || window == nullptr || !::SetMenu(window, menu_.get())) return false;
  window_ = window;
  return true;
}

void Menu::DetachFrom(HWND window) {
  if (window == nullptr || window != window_) return;
  if (::IsWindow(window) && ::GetMenu(window) == menu_.get()) ::SetMenu(window, nullptr);
  window_ = nullptr;
}

const Menu::Item* Menu::Find(std::string_view name) const {
  for (const Item& item : items_) {
    if (item.name == name) return &item;
  }
  return nullptr;
}

Menu::Item* Menu::Find(std::string_view name) {
  return const_cast<Item*>(static_cast<const Menu*>(this)->Find(name));
}

bool Menu::Contains(std::string_view name) const { return Find(name) != nullptr; }

int Menu::IdOf(std::string_view name) const {
  const Item* item = Find(name);
  return item != nullptr ? item->id : 0;
}

void Menu::Redraw() const {
  if (window_ != nullptr) ::DrawMenuBar(window_);
}

bool Menu::SetCaption(std::string_view name, std::string_view utf8) {
  const Item* item = Find(name);
  if (item == nullptr) return false;
  std::wstring caption = WidenUtf8(utf8);
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_STRING;
  info.dwTypeData = caption.data();
  if (!::SetMenuItemInfoW(item->owner, item->position, TRUE, &info)) return false;
  if (item->owner == menu_.get()) Redraw();
  return true;
}

std::string Menu::Caption(std::string_view name) const {
  const Item* item = Find(name);
  if (item == nullptr) return {};
  wchar_t text[256] = {};
  const int length = ::GetMenuStringW(item->owner, item->position, text, 256, MF_BYPOSITION);
  return NarrowToUtf8(std::wstring_view(text, length > 0 ? static_cast<size_t>(length) : 0));
}

bool Menu::SetChecked(std::string_view name, bool checked) {
  const Item* item = Find(name);
  if (item == nullptr) return false;
  ::CheckMenuItem(item->owner, item->position, MF_BYPOSITION | (checked ? MF_CHECKED : MF_UNCHECKED));
  return true;
}

bool Menu::Checked(std::string_view name) const {
  const Item* item = Find(name);
  if (item == nullptr) return false;
  const UINT state = ::GetMenuState(item->owner, item->position, MF_BYPOSITION);
  return state != static_cast<UINT>(-1) && (state & MF_CHECKED) != 0;
}

bool Menu::SetEnabled(std::string_view name, bool enabled) {
  const Item* item = Find(name);
  if (item == nullptr) return false;
  ::EnableMenuItem(item->owner, item->position, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
  if (item->owner == menu_.get()) Redraw();
  return true;
}

bool Menu::Enabled(std::string_view name) const {
  const Item* item = Find(name);
  if (item == nullptr) return false;
  const UINT state = ::GetMenuState(item->owner, item->position, MF_BYPOSITION);
  return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) == 0;
}

void Menu::Bind(std::string_view name, std::function<void()> handler) {
  Item* item = Find(name);
  if (item == nullptr) throw std::logic_error("menu: no item " + std::string(name) + " to bind a handler to");
  item->handler = std::move(handler);
}

int Menu::BindHandler(std::string_view handlerName, const std::function<void()>& handler) {
  int bound = 0;
  for (Item& item : items_) {
    if (!item.onClick.empty() && item.onClick == handlerName) {
      item.handler = handler;
      ++bound;
    }
  }
  return bound;
}

std::vector<std::string> Menu::UnboundHandlers() const {
  std::vector<std::string> unbound;
  for (const Item& item : items_) {
    if (!item.onClick.empty() && !item.handler) unbound.push_back(item.onClick + " (menu item " + item.name + ")");
  }
  return unbound;
}

bool Menu::Dispatch(int id) {
  auto found = byId_.find(id);
  if (found == byId_.end()) return false;
  const Item& item = items_[found->second];
  if (!item.handler || !Enabled(item.name)) return false;
  // A copy: the handler may rebind or rebuild the menu.
  std::function<void()> handler = item.handler;
  handler();
  return true;
}

}  // namespace velmora
