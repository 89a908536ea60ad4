#pragma once

#include <windows.h>

#include <string>

// The main window's tool bar: the commands a user reaches for most, each button enabled and checked by the
// same rules as its menu item, with the menu item's text as its tooltip.
class CLvToolBar {
public:
    bool CreateBar(HWND parent);
    HWND GetHwnd() const { return m_hwnd; }
    int Height() const;
    // Asks the command chain for every button's state and shows it.
    void UpdateStates();
    // Answers the tooltip's request for a text (TTN_GETDISPINFOW); false for another notification.
    bool OnNotify(NMHDR* header);
    // Whether a button is shown enabled / checked.
    bool IsEnabled(int command) const;
    bool IsChecked(int command) const;

private:
    HWND m_hwnd = nullptr;
    std::wstring m_tip; // the text handed to the tooltip last
};

// The text of a menu item anywhere in a menu and its popups, without "&" and without the key after a tab;
// empty when no item has the command.
std::string LvMenuCommandText(HMENU menu, int command);
// What a command is called: its text in the main window's menus, or for a command that no menu holds its
// text in the string table.
std::string LvCommandText(int command);
