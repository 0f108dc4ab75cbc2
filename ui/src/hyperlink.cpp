// The hyperlink's colours, states and ways of opening its address.
#include <cstdio>

#include "quillmark/code_page.h"
#include "quillmark/ui/hyperlink.h"

namespace quillmark::ui {
namespace {

constexpr int kFirstSuccess = 33;  // results of 32 and less are failures

struct ErrorEntry {
  int code;
  const char* text;
};
constexpr ErrorEntry kErrors[] = {
    {0, "The operating system is out\nof memory or resources."},
    {2, "The specified file was not found."},
    {3, "The specified path was not found."},
    {5, "The operating system denied\naccess to the specified file."},
    {8, "There was not enough memory to complete the operation."},
    {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
    {26, "A sharing violation occurred. "},
    {27, "The filename association is\nincomplete or invalid."},
    {28, "The DDE transaction could not\nbe completed because the request timed out."},
    {29, "The DDE transaction failed."},
    {30,
     "The DDE transaction could not\nbe completed because other DDE transactions\nwere being "
     "processed."},
    {31, "There is no application associated\nwith the given filename extension."},
    {32, "The specified dynamic-link library was not found."},
};

}  // namespace

Colour LinkTextColour(const LinkState& state) {
  if (state.overControl && (state.linkStyle & kLinkHoverColour) != 0) return kHoverColour;
  if (state.active && (state.linkStyle & kLinkNoActiveColour) == 0) return kActiveColour;
  if (state.visited) return kVisitedColour;
  return kLinkColour;
}

Rect FitLinkToText(Rect window, int clientWidth, int clientHeight, int textWidth, int textHeight,
                   LinkAlign align, bool centreVertically) {
  const int borderWidth = window.Width() - clientWidth;
  const int borderHeight = window.Height() - clientHeight;
  Rect r = window;
  if (centreVertically) {
    const int shrink = (r.Height() - textHeight) / 2;
    r.top += shrink;
    r.bottom -= shrink;
  } else {
    r.bottom = r.top + textHeight;
  }
  if (align == LinkAlign::kCentre) {
    const int shrink = (r.Width() - textWidth) / 2;
    r.left += shrink;
    r.right -= shrink;
  } else if (align == LinkAlign::kRight) {
    r.left = r.right - textWidth;
  } else {
    r.right = r.left + textWidth;
  }
  return {r.left, r.top, r.left + r.Width() + borderWidth, r.top + r.Height() + borderHeight};
}

std::string FallbackCommandLine(std::string_view command, std::string_view address) {
  std::string line(command);
  // The quoted placeholder first, so its opening quote goes with it.
  int at = FindSubstring(line, "\"%1\"", CodePage::kUtf8);
  if (at < 0) {
    const std::size_t plain = line.find("%1");
    at = plain == std::string::npos ? -1 : static_cast<int>(plain);
  }
  if (at >= 0) line.resize(static_cast<std::size_t>(at));
  // No fixed buffer: a long address is handed over whole, never shortened
  // into a different one.
  line += ' ';
  line += address;
  return line;
}

int OpenURL(LinkShell& shell, const std::string& address, int show) {
  const int shellResult = shell.ShellOpen(address, show);
  if (shellResult >= kFirstSuccess) return shellResult;
  const std::optional<std::string> fileType = shell.ReadClassesRootValue(".htm");
  if (!fileType) return shellResult;
  const std::optional<std::string> command =
      shell.ReadClassesRootValue(*fileType + "\\shell\\open\\command");
  if (!command) return shellResult;
  return shell.StartProgram(FallbackCommandLine(*command, address), show);
}

std::string LinkErrorText(int code) {
  std::string text = "Can't open link:\n\n";
  for (const ErrorEntry& entry : kErrors) {
    if (entry.code == code) return text + entry.text;
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "Unknown Error (%d) occurred.", code);
  return text + buffer;
}

void HyperLink::OnMouseMove(bool insideClient) {
  if (state.overControl) {
    if (insideClient) return;
    state.overControl = false;
    view_.ReleaseMouse();
    view_.Repaint();
    return;
  }
  // A move arrives only inside the control unless the mouse is captured.
  if (!insideClient) return;
  state.overControl = true;
  view_.Repaint();
  view_.CaptureMouse();
}

void HyperLink::OnLeftButtonDown() {
  if ((state.linkStyle & kLinkFocusOnClick) != 0) view_.TakeFocus();
  if ((state.linkStyle & kLinkFollowOnDown) != 0) GotoURL();
  state.active = true;
}

void HyperLink::OnLeftButtonUp() {
  if (state.active && (state.linkStyle & kLinkFollowOnDown) == 0) GotoURL();
}

bool HyperLink::OnKeyDown(int key) {
  if (key != kSpaceKey) return false;
  GotoURL();
  return true;
}

void HyperLink::OnFocusGained() {
  state.active = true;
  view_.Repaint();
}

void HyperLink::OnFocusLost() {
  state.overControl = false;
  state.active = false;
  view_.Repaint();
}

void HyperLink::GotoURL() {
  const int result = OpenURL(shell_, state.url, kShowNormal);
  if (result < kFirstSuccess) {
    view_.Beep();
    messages_.ShowMessage(LinkErrorText(result));
    return;
  }
  state.visited = true;
  view_.Repaint();
}

}  // namespace quillmark::ui
