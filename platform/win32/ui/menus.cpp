#include <map>
#include <string>
#include <vector>

#include "win32/gtk_window.h"
#include "win32/resources.h"
#include "win32/winuser.h"
#include "window_table.h"

namespace {

struct MenuItem {
    int depth;
    UINT id;
    std::string label;  // UTF-8, with the mnemonic marker of the toolkit
};

std::map<HMENU, std::vector<MenuItem>>& Menus() {
    static std::map<HMENU, std::vector<MenuItem>> menus;
    return menus;
}

std::map<HACCEL, std::vector<ACCEL>>& AcceleratorTables() {
    static std::map<HACCEL, std::vector<ACCEL>> tables;
    return tables;
}

std::uint32_t g_nextHandle = 0x100;

// "&File" marks its mnemonic with '&'; the toolkit uses '_' (and '__' for a plain '_').
std::string Label(LPCWSTR text) {
    std::wstring converted;
    for (const wchar_t* p = text ? text : L""; *p; ++p) {
        if (*p == L'&' && p[1] == L'&') {
            converted += L'&';
            ++p;
        } else if (*p == L'&') {
            converted += L'_';
        } else if (*p == L'_') {
            converted += L"__";
        } else {
            converted += *p;
        }
    }
    return Win32TextToUtf8(converted.c_str());
}

// The entries of a resource that holds an array of T; null when it is missing, empty or not a
// whole number of entries.
template <class T>
const T* FindArray(HINSTANCE instance, LPCWSTR name, LPCWSTR type, std::size_t* count) {
    const HRSRC res = FindResourceW(instance, name, type);
    if (!res)
        return nullptr;
    const DWORD size = SizeofResource(instance, res);
    const void* data = LockResource(LoadResource(instance, res));
    if (!data || size == 0 || size % sizeof(T) != 0)
        return nullptr;
    *count = size / sizeof(T);
    return static_cast<const T*>(data);
}

struct Activation {
    HWND hwnd;
    UINT id;
};

void OnActivate(GtkMenuItem*, gpointer data) {
    const auto* a = static_cast<const Activation*>(data);
    SendMessageW(a->hwnd, WM_COMMAND, a->id, 0);
}

void FreeActivation(gpointer data, GClosure*) {
    delete static_cast<Activation*>(data);
}

// Appends items[index..] of one depth to shell; returns the index after them.
std::size_t AppendItems(GtkMenuShell* shell, const std::vector<MenuItem>& items, std::size_t index,
                        int depth, HWND hwnd) {
    while (index < items.size() && items[index].depth >= depth) {
        const MenuItem& item = items[index];
        const bool popup = index + 1 < items.size() && items[index + 1].depth > item.depth;
        GtkWidget* widget = item.label.empty() && !popup
                                ? gtk_separator_menu_item_new()
                                : gtk_menu_item_new_with_mnemonic(item.label.c_str());
        gtk_menu_shell_append(shell, widget);
        ++index;
        if (popup) {
            GtkWidget* submenu = gtk_menu_new();
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget), submenu);
            index = AppendItems(GTK_MENU_SHELL(submenu), items, index, item.depth + 1, hwnd);
        } else if (!item.label.empty()) {
            g_signal_connect_data(widget, "activate", G_CALLBACK(OnActivate),
                                  new Activation{hwnd, item.id}, FreeActivation, GConnectFlags{});
        }
    }
    return index;
}

}  // namespace

HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name) {
    std::size_t count = 0;
    const auto* items = FindArray<MenuResourceItem>(instance, name, RT_MENU, &count);
    if (!items)
        return 0;
    std::vector<MenuItem> menu;
    for (std::size_t i = 0; i < count; ++i) {
        menu.push_back(MenuItem{items[i].depth, items[i].id, Label(items[i].text)});
    }
    const HMENU handle = g_nextHandle++;
    Menus()[handle] = std::move(menu);
    return handle;
}

BOOL DestroyMenu(HMENU menu) {
    return Menus().erase(menu) ? TRUE : FALSE;
}

GtkWidget* Win32BuildMenuBar(HMENU menu, HWND hwnd) {
    auto it = Menus().find(menu);
    if (it == Menus().end())
        return nullptr;
    GtkWidget* bar = gtk_menu_bar_new();
    AppendItems(GTK_MENU_SHELL(bar), it->second, 0, 0, hwnd);
    return bar;
}

HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name) {
    std::size_t count = 0;
    const auto* entries = FindArray<ACCEL>(instance, name, RT_ACCELERATOR, &count);
    if (!entries)
        return 0;
    const HACCEL handle = g_nextHandle++;
    AcceleratorTables()[handle].assign(entries, entries + count);
    return handle;
}
