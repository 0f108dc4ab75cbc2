// The two driver routines behind the comment and file-header commands.
#include "internal.h"

namespace quillmark {
namespace {

using Op = EditorStep::Op;

// Collects a plan's steps and messages.
class PlanBuilder {
 public:
  explicit PlanBuilder(CommandPlan& plan) : plan_(plan) {}
  void Step(Op op, int count = 0) { plan_.steps.push_back({op, count, {}}); }
  void Put(std::string text) { plan_.steps.push_back({Op::kPut, 0, std::move(text)}); }
  void Show(std::string_view text) {
    plan_.steps.push_back({Op::kShowMessage, 0, std::string(text)});
    if (!plan_.shown.empty()) plan_.shown += '\n';
    plan_.shown += text;
  }
  // The editor cannot move up from line 1, so a selection on the first line
  // gets its block above the second line.
  void ToInsertionPoint() {
    Step(Op::kMoveUp, 1);
    Step(Op::kMoveDown, 1);
    Step(Op::kLineStart);
  }
  // The block goes in at the caret, which then ends on the block's marked line.
  void InsertBlock(const ExpandedBlock& block) {
    Put(block.text);
    Step(Op::kMoveUp, block.lineCount - block.caretLine + 1);
    Step(Op::kMoveDown, 1);
    Step(Op::kLineEnd);
  }

 private:
  CommandPlan& plan_;
};

void RunGenerator(const TemplateNode& node, DeclKind kind, std::string& text,
                  const CommentContext& context, CommandPlan& plan) {
  PlanBuilder steps(plan);
  plan.kind = kind;
  ExpandedBlock block;
  bool made = false;
  if (node.generator != nullptr) {
    if (kind == DeclKind::FileHeader) {
      steps.Step(Op::kDocumentStart);
    } else {
      steps.ToInsertionPoint();
    }
    made = node.generator(text, node, context, &block);
  }
  if (!made) {
    steps.Show(messages::kCheckDeclaration);
    plan.outcome = CommentOutcome::kParseFailed;
    return;
  }
  plan.replacedCharacters = block.replacedCharacters;
  steps.InsertBlock(block);
  // An empty template inserts nothing; the caret has still moved, as it always does.
  plan.outcome = node.lines.empty() ? CommentOutcome::kEmptyTemplate : CommentOutcome::kInserted;
}

void PlanComment(std::string text, const TemplateTree& tree, const CommentContext& context,
                 CommandPlan& plan) {
  PlanBuilder steps(plan);
  if (text.empty()) {
    steps.Show(messages::kSelectDeclaration);
    plan.outcome = CommentOutcome::kEmptySelection;
    return;
  }
  if (context.declarations != nullptr) {
    std::string why;
    if (std::optional<detail::SyntaxBlock> syntax =
            detail::CommentWithSyntax(text, tree, context, &why)) {
      plan.kind = syntax->kind;
      plan.replacedCharacters = syntax->block.replacedCharacters;
      steps.ToInsertionPoint();
      steps.InsertBlock(syntax->block);
      // An empty template inserts nothing; the caret has still moved, as in the keyword mode.
      plan.outcome =
          syntax->node->lines.empty() ? CommentOutcome::kEmptyTemplate : CommentOutcome::kInserted;
      return;
    }
    plan.syntaxFellBack = true;
    plan.syntaxFailure = std::move(why);
  }
  const DeclKind kind = Classify(text, context.page);
  plan.kind = kind;
  const TemplateNode* node = tree.FindKindNode(kind);
  if (node == nullptr) {
    plan.outcome = CommentOutcome::kNoKind;
    return;
  }
  RunGenerator(*node, kind, text, context, plan);
}

// The header goes to the top of the document wherever the caret is, so the
// selected text is never read.
void PlanHeader(const TemplateTree& tree, const CommentContext& context, CommandPlan& plan) {
  const TemplateNode* node = tree.FindKindNode(DeclKind::FileHeader);
  plan.kind = DeclKind::FileHeader;
  if (node == nullptr) {
    plan.outcome = CommentOutcome::kNoKind;
    return;
  }
  std::string text;
  RunGenerator(*node, DeclKind::FileHeader, text, context, plan);
}

void PlanToggle(std::string_view text, CommandPlan& plan) {
  PlanBuilder steps(plan);
  // The run goes on after the message: an empty text replaces an empty selection.
  if (text.empty()) steps.Show(messages::kSelectDeleteText);
  steps.Put(ToggleDeletedText(text));
  steps.Step(Op::kMoveUp, 1);
  steps.Step(Op::kMoveDown, 1);
  steps.Step(Op::kLineEnd);
  plan.outcome = CommentOutcome::kInserted;
}

}  // namespace

std::string ToggleDeletedText(std::string_view selected) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < selected.size(); ++i) {
    if (selected[i] != '\n') continue;
    lines.push_back(selected.substr(start, i - start));
    start = i + 1;
  }
  if (start < selected.size()) lines.push_back(selected.substr(start));

  // The first line alone decides: a marker anywhere in it means restore.
  const bool restore =
      !lines.empty() && lines.front().find(kDeleteMarker) != std::string_view::npos;
  std::string out;
  out.reserve(selected.size() + lines.size() * kDeleteMarker.size());
  for (std::string_view line : lines) {
    if (!restore) {
      out += kDeleteMarker;
    } else if (line.starts_with(kDeleteMarker)) {
      line.remove_prefix(kDeleteMarker.size());
    }
    out += line;  // keeps its CR, which the editor takes as the line end
  }
  return out;
}

CommandPlan PlanCommand(EngineCommand command, std::string_view selectedText,
                        const TemplateTree& tree, const CommentContext& context) {
  CommandPlan plan;
  switch (command) {
    case EngineCommand::kComment:
      PlanComment(std::string(selectedText), tree, context, plan);
      break;
    case EngineCommand::kHeader:
      PlanHeader(tree, context, plan);
      break;
    case EngineCommand::kDelete:
      PlanToggle(selectedText, plan);
      break;
  }
  return plan;
}

std::string SelectedText(const DocumentView& document) {
  const std::size_t a = document.lines->Offset(std::min(document.anchor, document.caret));
  const std::size_t b = document.lines->Offset(std::max(document.anchor, document.caret));
  return MapLineBreaks(document.text.substr(a, b - a), {}, "\r\n");
}

CommandResultOnText RunCommand(EngineCommand command, const DocumentView& document,
                               const TemplateTree& tree, const CommentContext& context) {
  CommandResultOnText result;
  const std::string selected =
      command == EngineCommand::kHeader ? std::string() : SelectedText(document);
  CommentContext withDocument = context;
  withDocument.hasDocument = true;
  withDocument.document = document.text;
  withDocument.selectionBegin = document.lines->Offset(std::min(document.anchor, document.caret));
  withDocument.selectionEnd = document.lines->Offset(std::max(document.anchor, document.caret));
  result.plan = PlanCommand(command, selected, tree, withDocument);
  ResolvedSteps resolved;
  // Every plan puts text at most once, so this cannot fail.
  if (ResolveSteps(document.text, *document.lines, document.lineBreak, document.anchor,
                   document.caret, result.plan.steps, &resolved)) {
    result.edits = std::move(resolved.edits);
    result.caret = resolved.caret;
  }
  return result;
}

CommentResult RequestComment(TextSelection& selection, const TemplateTree& tree,
                             MessageSink& messages, const CommentContext& context) {
  const std::string text = selection.GetSelectedText();
  const CommandPlan plan = PlanCommand(EngineCommand::kComment, text, tree, context);
  ReplaySteps(plan.steps, selection, &messages);
  return {plan.outcome, plan.kind};
}

CommentResult RequestFileHeader(TextSelection& selection, const TemplateTree& tree,
                                MessageSink& messages, const CommentContext& context) {
  const CommandPlan plan = PlanCommand(EngineCommand::kHeader, {}, tree, context);
  ReplaySteps(plan.steps, selection, &messages);
  return {plan.outcome, plan.kind};
}

std::string_view KindName(DeclKind kind) {
  const KindNames* names = NamesOf(kind);
  return names != nullptr ? names->words : "none";
}

std::string_view KindIdentifier(DeclKind kind) {
  const KindNames* names = NamesOf(kind);
  return names != nullptr ? names->identifier : "";
}

}  // namespace quillmark
