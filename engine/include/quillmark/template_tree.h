// The template tree: the groups and kinds with their template lines, the kind
// routines that fill them, and the user information. Names and lines are
// UTF-8; they are encoded into the document's code page when a block is built.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "quillmark/kinds.h"

namespace quillmark {

struct CommentContext;
struct ExpandedBlock;
struct TemplateNode;

// A kind's routine: true when it made the block, false when the declaration
// text cannot be taken apart. `text` is the caller's copy, in the context's
// code page. Where the block goes is the driver's business, not the routine's.
using Generator = bool (*)(std::string& text, const TemplateNode& node,
                           const CommentContext& context, ExpandedBlock* block);

struct TemplateNode {
  std::string name;                // UTF-8
  std::vector<std::string> lines;  // UTF-8 template lines, without line terminators
  std::unique_ptr<TemplateNode> next;
  std::unique_ptr<TemplateNode> firstChild;
  Generator generator = nullptr;

  bool IsGroup() const { return firstChild != nullptr; }
};

// Frees the sibling chain starting at `node`: each node's children before the
// node, siblings in list order. Returns the number of nodes freed.
int FreeNodeChain(std::unique_ptr<TemplateNode> node);

// The values of "%Company%" and "%Author%", in UTF-8.
struct UserInfo {
  std::string companyName;
  std::string authorName;
};

// Owns the groups, the kinds and the user information. Construction fills the
// defaults, the author being the logon name when there is a usable one;
// loading the user's settings file is the settings subsystem's job.
class TemplateTree {
 public:
  explicit TemplateTree(const std::optional<std::string>& logonName = std::nullopt);
  ~TemplateTree();
  TemplateTree(const TemplateTree&) = delete;
  TemplateTree& operator=(const TemplateTree&) = delete;

  TemplateNode* FindKindNode(DeclKind kind) const;

  std::string profilePath;
  UserInfo userInfo;
  std::map<int, TemplateNode*> kindTable;
  std::unique_ptr<TemplateNode> root;

 private:
  void BuildDefaultTemplates();
  // Links a new node as `previous`'s next sibling, else as `group`'s first
  // child, else as the root.
  TemplateNode* AppendNode(TemplateNode* group, TemplateNode* previous, std::string name);
};

// The logon name as the defaults may use it: nothing when it is empty or would
// not fit the system's 260-byte buffer.
std::optional<std::string> UsableLogonName(const std::optional<std::string>& logonName);

}  // namespace quillmark
