// How the desktop's lookups reach the session's claim holder, and how the holder answers: the
// request record that travels over the claim's socket, and the calls on either side of it.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <cstdint>

#include "platform/win32.h"

namespace platform::desktop {

// ---- The wire: one request, one answer, each one packet on a SOCK_SEQPACKET connection ----------

enum class SessionRequestKind : std::uint32_t { FindWindow = 1, Foreground = 2 };

constexpr std::size_t kSessionNameChars = 256;

struct SessionRequest {
  SessionRequestKind kind;
  std::uint32_t given;   // kClassGiven | kTitleGiven: FindWindowW's null means any
  std::uint64_t window;  // Foreground: the holder's own handle
  char16_t class_name[kSessionNameChars];  // zero-terminated
  char16_t title[kSessionNameChars];
};
constexpr std::uint32_t kClassGiven = 1;
constexpr std::uint32_t kTitleGiven = 2;

// FindWindow: the holder's handle, 0 for none. Foreground: SetForegroundWindow's answer.
struct SessionAnswer {
  std::uint64_t value;
};

// ---- Session state (session.cpp) ----------------------------------------------------------------

// Joined, and another process holds the claim: lookups ask it, top-level windows are refused.
bool AnotherProcessHoldsTheClaim();
// The claim's socket address (an abstract name) and its length.
socklen_t ClaimAddress(sockaddr_un* address);

// ---- Asking the holder (session_requests.cpp) ---------------------------------------------------

// The holder's top-level window with that class and title, as a handle of this process; null
// when it has none, or does not answer within a short deadline.
HWND FindSessionWindow(LPCWSTR class_name, LPCWSTR title);
bool IsSessionWindow(HWND window);
// Asks the holder to bring the window to the front; its SetForegroundWindow answers.
BOOL ForegroundSessionWindow(HWND window);
// The holder's session thread: reads one request from a connection of our own user's and
// answers it.
void AnswerRequest(int connection);
// The process at the other end of a connected socket runs as our user.
bool PeerIsOurUser(int socket);
// A process of our own user listens on the claim's name (a later start's check of the name).
bool HolderIsOurUser();

// ---- The holder's side (desktop.cpp) ------------------------------------------------------------

// A top-level window of this process with that class and title (either null: any).
HWND FindOwnWindow(LPCWSTR class_name, LPCWSTR title);

}  // namespace platform::desktop
