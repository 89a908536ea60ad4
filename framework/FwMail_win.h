#pragma once

#include <windows.h>

#include <string>

// Sending a file by mail through the system's mail program (Simple MAPI): a new message opens with the file
// attached, for the user to address and send.

// Sends path as an attachment shown as name. False when the mail program is missing or failed (error then
// says why) or the user closed the message without sending it (error empty).
typedef bool (*FwSendMailFn)(HWND owner, const std::string& path, const std::string& name, std::string& error);

bool FwSendMail(HWND owner, const std::string& path, const std::string& name, std::string& error);

// Tests put their own mail program in place (null restores the system's).
void FwSetSendMailForTesting(FwSendMailFn fn);
