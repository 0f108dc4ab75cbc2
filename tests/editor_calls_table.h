// The calls an editor gets from each command, in order, with the templates
// that make them: the IDE replays them through its object model exactly as
// the commands have always made them. One table for the engine's test (a
// recording selection) and the Windows module's (the add-in itself in the
// stand-in IDE under Wine). No test framework needed.
#pragma once

#include <string>
#include <vector>

#include "quillmark/engine.h"

namespace quillmark::testing {

// The class kind's and the file header's templates the rows are made with.
inline const std::vector<std::string> kCallsClassLines = {"//a", "//b%CaretPos%", "//c", "//d"};
inline const std::vector<std::string> kCallsHeaderLines = {"//%CaretPos%h", "//i"};

struct EditorCallsRow {
  EngineCommand command;
  const char* selected;
  // "up N", "down N", "start", "end", "top": the moves; "replace": the
  // selection's text put; "message": a message shown.
  std::vector<std::string> calls;
  const char* why;
};

inline const std::vector<EditorCallsRow>& EditorCallsPerCommand() {
  static const std::vector<EditorCallsRow> kRows = {
      {EngineCommand::kComment,
       "class CFoo",
       {"up 1", "down 1", "start", "replace", "up 4", "down 1", "end"},
       "to the insertion line, the block, up to the line before the marked one, down, its end"},
      {EngineCommand::kComment,
       "class : CBase",
       {"up 1", "down 1", "start", "message"},
       "the moves come before the parse, so they happen when it fails"},
      {EngineCommand::kComment, "", {"message"}, "an empty selection: the message alone"},
      {EngineCommand::kComment, "int x = 0;", {}, "nothing recognised: no call at all"},
      {EngineCommand::kHeader,
       "class CFoo",
       {"top", "replace", "up 3", "down 1", "end"},
       "the header goes to the top wherever the caret is"},
      {EngineCommand::kDelete,
       "int a;\r\n",
       {"replace", "up 1", "down 1", "end"},
       "the toggle replaces the selection"},
      {EngineCommand::kDelete,
       "",
       {"message", "replace", "up 1", "down 1", "end"},
       "an empty toggle shows its message and goes on"},
  };
  return kRows;
}

}  // namespace quillmark::testing
