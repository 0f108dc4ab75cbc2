// The template tree: groups of comment kinds, their default lines and the
// kind table the driver looks generators up in.
#include "internal.h"

namespace quillmark {
namespace {

constexpr char kRuleLine[] = "///////////////////////////////////////////////////////////////";

struct KindDefaults {
  DeclKind kind;
  const char* name;
  Generator generator;
  std::vector<const char*> lines;  // between the two rule lines
};

struct GroupDefaults {
  const char* name;
  std::vector<KindDefaults> kinds;
};

// The common tail of the type kinds, from the description line on.
#define QM_TYPE_TAIL                                                                      \
  "//\t描    述 : %CaretPos%",                                                            \
      "//\t功    能 : ", "//\t历史记录 : ", "//\t使用说明 : ", "//\t作    者 : %Author%", \
      "//\t时    间 : %Time%", "//\t备    注 : "

const std::vector<GroupDefaults>& DefaultGroups() {
  static const std::vector<GroupDefaults> groups = {
      {"变量注释",
       {
           {DeclKind::Class,
            "类声明注释",
            CommentClass,
            {"//\t类    名 : %ClassName%", "//\t基    类 : %BaseClassName%", QM_TYPE_TAIL}},
           {DeclKind::Struct,
            "结构体声明注释",
            CommentStruct,
            {"//\t结构体名 : %StructName%", QM_TYPE_TAIL}},
           {DeclKind::Union,
            "联合体声明注释",
            CommentUnion,
            {"//\t联合体名 : %UnionName%", QM_TYPE_TAIL}},
           {DeclKind::Enum,
            "枚举体声明注释",
            CommentEnum,
            {"//\t枚举体名 : %EnumName%", QM_TYPE_TAIL}},
       }},
      {"函数注释",
       {
           {DeclKind::Function,
            "普通函数注释",
            CommentFunction,
            {"//\t函 数 名 : %Function%", "//\t函数功能 : %CaretPos%", "//\t处理过程 : ",
             "//\t备    注 : ", "//\t作    者 : %Author%", "//\t时    间 : %Time%",
             "//\t返 回 值 : %ReturnValue%", "//\t参数说明 : %FunctionParam%"}},
           {DeclKind::MemberFunction,
            "类成员函数注释",
            CommentMemberFunction,
            {"//\t函 数 名 : %Function%", "//\t所属类名 : %ClassName%", "//\t函数功能 : %CaretPos%",
             "//\t处理过程 : ", "//\t备    注 : ", "//\t作    者 : %Author%",
             "//\t时    间 : %Time%", "//\t返 回 值 : %ReturnValue%",
             "//\t参数说明 : %FunctionParam%"}},
       }},
      {"宏注释",
       {
           {DeclKind::MacroWithParams,
            "带参数宏注释",
            CommentParamMacro,
            {"//\t宏 名 称 : %MicroName%", "//\t功    能 : %CaretPos%", "//\t备    注 : ",
             "//\t作    者 : %Author%", "//\t时    间 : %Time%", "//\t参数说明 : %FunctionParam%"}},
           {DeclKind::Macro,
            "普通宏注释",
            CommentMacro,
            {"//\t宏 名 称 : %MicroName%", "//\t功    能 : %CaretPos%",
             "//\t备    注 : ", "//\t作    者 : %Author%", "//\t时    间 : %Time%"}},
       }},
      {"接口声明注释",
       {
           {DeclKind::Interface,
            "接口声明",
            CommentInterface,
            {"//\t接 口 名 : %Interface%", "//\t派生接口 : %BaseInterface%",
             "//\t接口功能 : %CaretPos%", "//\t描    述 : ", "//\t历史记录 : ", "//\t使用说明 : ",
             "//\t作    者 : %Author%", "//\t时    间 : %Time%", "//\t备    注 : "}},
           {DeclKind::MethodDeclaration,
            "方法声明",
            CommentMethodDecl,
            {"//\t方 法 名 : %MethodName%", "//\t功    能 : %CaretPos%", "//\t描    述 : ",
             "//\t使用说明 : ", "//\t作    者 : %Author%", "//\t时    间 : %Time%",
             "//\t返 回 值 : %ReturnValue%", "//\t参数说明 : %FunctionParam%"}},
           {DeclKind::MethodImplementation,
            "方法实现",
            CommentMethodImpl,
            {"//\t方 法 名 : %MethodName%", "//\t接    口 : %Interface%",
             "//\t功    能 : %CaretPos%", "//\t描    述 : ", "//\t使用说明 : ",
             "//\t作    者 : %Author%", "//\t时    间 : %Time%", "//\t返 回 值 : %ReturnValue%",
             "//\t参数说明 : %FunctionParam%"}},
       }},
      {"文件头注释",
       {
           {DeclKind::FileHeader,
            "文件头注释",
            CommentFileHeader,
            {"//\t文 件 名 :%CurrentFileName%", "//\t文件功能 :%CaretPos%",
             "//\t作    者 : %Author%", "//\t创建时间 : %Time%", "//\t项目名称 ：%ProjectName%",
             "//\t操作系统 : ", "//\t备    注 :", "//\t历史记录： : "}},
       }},
  };
  return groups;
}

#undef QM_TYPE_TAIL

}  // namespace

int FreeNodeChain(std::unique_ptr<TemplateNode> node) {
  int freed = 0;
  while (node) {
    std::unique_ptr<TemplateNode> next = std::move(node->next);
    freed += FreeNodeChain(std::move(node->firstChild));
    node.reset();
    ++freed;
    node = std::move(next);
  }
  return freed;
}

TemplateTree::TemplateTree(const std::optional<std::string>& logonName) {
  userInfo.companyName = "Company Name";
  userInfo.authorName = UsableLogonName(logonName).value_or("Author Name");
  BuildDefaultTemplates();
}

TemplateTree::~TemplateTree() {
  kindTable.clear();
  FreeNodeChain(std::move(root));
}

TemplateNode* TemplateTree::FindKindNode(DeclKind kind) const {
  const auto it = kindTable.find(static_cast<int>(kind));
  return it == kindTable.end() ? nullptr : it->second;
}

TemplateNode* TemplateTree::AppendNode(TemplateNode* group, TemplateNode* previous,
                                       std::string name) {
  auto node = std::make_unique<TemplateNode>();
  node->name = std::move(name);
  TemplateNode* raw = node.get();
  if (previous != nullptr) {
    previous->next = std::move(node);
  } else if (group != nullptr) {
    group->firstChild = std::move(node);
  } else {
    root = std::move(node);
  }
  return raw;
}

void TemplateTree::BuildDefaultTemplates() {
  TemplateNode* previousGroup = nullptr;
  for (const GroupDefaults& groupDefaults : DefaultGroups()) {
    TemplateNode* group = AppendNode(nullptr, previousGroup, groupDefaults.name);
    TemplateNode* previousKind = nullptr;
    for (const KindDefaults& kindDefaults : groupDefaults.kinds) {
      TemplateNode* kind = AppendNode(group, previousKind, kindDefaults.name);
      kind->generator = kindDefaults.generator;
      kind->lines.emplace_back(kRuleLine);
      for (const char* line : kindDefaults.lines) kind->lines.emplace_back(line);
      kind->lines.emplace_back(kRuleLine);
      kindTable[static_cast<int>(kindDefaults.kind)] = kind;
      previousKind = kind;
    }
    previousGroup = group;
  }
}

}  // namespace quillmark
