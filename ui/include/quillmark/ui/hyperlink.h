// The about dialog's hyperlink, apart from any window system: its colours,
// states, reactions and the ways the system opens an address.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quillmark/editor_port.h"
#include "quillmark/ui/geometry.h"

namespace quillmark::ui {

enum LinkStyle : std::uint32_t {
  kLinkUnderline = 0x01,
  kLinkHoverColour = 0x02,
  kLinkAutoSize = 0x04,
  kLinkFollowOnDown = 0x08,
  kLinkFocusOnClick = 0x10,
  kLinkNoHandCursor = 0x20,
  kLinkNoActiveColour = 0x40,
};
inline constexpr std::uint32_t kDefaultLinkStyle = 0x15;

struct Colour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const Colour&) const = default;
};
inline constexpr Colour kLinkColour{0, 0, 255};
inline constexpr Colour kVisitedColour{128, 0, 128};
inline constexpr Colour kHoverColour{255, 0, 0};
inline constexpr Colour kActiveColour{0, 128, 128};

struct LinkState {
  bool active = false;
  bool overControl = false;
  bool visited = false;
  std::uint32_t linkStyle = kDefaultLinkStyle;
  std::string url;
};
Colour LinkTextColour(const LinkState& state);

// Horizontal placement of the link's text in its control.
enum class LinkAlign { kLeft, kCentre, kRight };
// The control's new window rectangle when it fits its text (`window` in its
// parent's coordinates, the border being window size minus client size).
Rect FitLinkToText(Rect window, int clientWidth, int clientHeight, int textWidth, int textHeight,
                   LinkAlign align, bool centreVertically);

inline constexpr int kShowNormal = 5;  // SW_SHOW
inline constexpr int kSpaceKey = 0x20;

// How the system opens an address. Result codes above 32 are success.
class LinkShell {
 public:
  virtual ~LinkShell() = default;
  // The shell's "open" verb on the address.
  virtual int ShellOpen(const std::string& address, int show) = 0;
  // The default value of a key under the classes root; nothing when unreadable.
  virtual std::optional<std::string> ReadClassesRootValue(const std::string& key) = 0;
  // 33 and more on success; else one of the shell's failure codes (32 and
  // less), or a negative number for a failure the shell has no code for.
  virtual int StartProgram(const std::string& commandLine, int show) = 0;
};

// The shell's open, else the program registered for ".htm" with the address.
int OpenURL(LinkShell& shell, const std::string& address, int show);
// The ".htm" handler's command cut at "\"%1\"" (else "%1"), a blank, the address.
std::string FallbackCommandLine(std::string_view command, std::string_view address);
// "Can't open link:\n\n" and the text for a failure code.
std::string LinkErrorText(int code);

// What the link control does to its window.
class LinkView {
 public:
  virtual ~LinkView() = default;
  virtual void TakeFocus() = 0;
  virtual void Repaint() = 0;
  virtual void CaptureMouse() = 0;
  virtual void ReleaseMouse() = 0;
  virtual void Beep() = 0;
};

// The hyperlink's states and reactions; the view forwards its input here and
// paints in LinkTextColour(state).
class HyperLink {
 public:
  HyperLink(LinkView& view, LinkShell& shell, MessageSink& messages)
      : view_(view), shell_(shell), messages_(messages) {}

  void OnMouseMove(bool insideClient);
  void OnLeftButtonDown();
  void OnLeftButtonUp();
  // True when the key was the link's (the space bar); others get the default.
  bool OnKeyDown(int key);
  void OnFocusGained();
  void OnFocusLost();
  void GotoURL();
  Colour TextColour() const { return LinkTextColour(state); }

  LinkState state;

 private:
  LinkView& view_;
  LinkShell& shell_;
  MessageSink& messages_;
};

}  // namespace quillmark::ui
