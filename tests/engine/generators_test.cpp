// The names each generator cuts out of a declaration, seen through a probe
// template that prints every placeholder of its kind.
#include "test_support.h"

namespace quillmark {
namespace {

using testing::EngineTest;
using testing::Generate;

constexpr char kSep[] = ",\r\n//\t\t\t\t";

struct Row {
  const char* text;
  const char* expected;  // the probe line, or nullptr when the generator refuses
};

class GeneratorTest : public EngineTest {
 protected:
  void Check(Generator generator, const char* probe, std::initializer_list<Row> rows) {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.text);
      const std::optional<std::string> block = Generate(generator, row.text, {probe});
      if (row.expected == nullptr) {
        EXPECT_FALSE(block.has_value());
      } else {
        EXPECT_EQ(std::string(row.expected) + "\r\n", block.value_or("<refused>"));
      }
    }
  }
};

TEST_F(GeneratorTest, ClassHeads) {
  const std::string three = std::string("CA<CB<int,int>") + kSep + "int>" + kSep + "CC";
  const std::string two = std::string("CView") + kSep + "IHost";
  Check(CommentClass, "%ClassName%|%BaseClassName%|%StructName%",
        {
            {"class CFoo", "CFoo||%StructName%"},
            {"class CFoo : public CBase {", "CFoo|CBase|%StructName%"},
            {"class AFX_EXT_CLASS CMyView : public CView, protected IHost",
             ("CMyView|" + two + "|%StructName%").c_str()},
            {"class CFoo : public CTmpl<int, long>, private CBar",
             ("CFoo|CTmpl<int,long>" + std::string(kSep) + "CBar|%StructName%").c_str()},
            {"class CFoo : CBase1, CBase2",
             ("CFoo|CBase1" + std::string(kSep) + "CBase2|%StructName%").c_str()},
            {"class CFoo : public virtual CBase", "CFoo|virtualCBase|%StructName%"},
            {"class CFoo : virtual public CBase", "CFoo|CBase|%StructName%"},
            {"class CFoo;", "CFoo;||%StructName%"},
            {"class : public CBase", nullptr},
            {"class X : public CA<CB<int, int>, int>, public CC",
             ("X|" + three + "|%StructName%").c_str()},
            {"class X : public CBase // a -> b", nullptr},
            {"template<class T> class CFoo : public CBase", "T>classCFoo|CBase|%StructName%"},
            {"class NS::CFoo : public CBase", "NS|CBase|%StructName%"},
            {"class CFoo : public CBase, ", "CFoo|CBase|%StructName%"},
            {"class __declspec(dllexport) CFoo", "CFoo||%StructName%"},
        });
}

TEST_F(GeneratorTest, StructUnionEnumHeads) {
  Check(CommentStruct, "%StructName%|%BaseClassName%|%ClassName%",
        {
            {"struct tagNODE : NODEBASE { int n; };", "tagNODE|NODEBASE|%ClassName%"},
            {"typedef struct tagPOINT2 {", "tagPOINT2||%ClassName%"},
            {"struct : B", nullptr},
        });
  Check(CommentUnion, "%UnionName%",
        {{"union UValue {", "UValue"}, {"union {", nullptr}, {"union", nullptr}});
  Check(CommentEnum, "%EnumName%",
        {{"typedef enum tagColor { red, green }", "tagColor"}, {"enum { A, B }", nullptr}});
}

TEST_F(GeneratorTest, FreeFunctions) {
  const std::string main = std::string("int argc") + kSep + " char* argv[]";
  const std::string wnd =
      std::string("HWND h") + kSep + " UINT m" + kSep + " WPARAM w" + kSep + " LPARAM l";
  Check(CommentFunction, "%Function%|%ReturnValue%|%FunctionParam%|%ClassName%",
        {
            {"int main(int argc, char* argv[])", ("main|int|" + main + "|%ClassName%").c_str()},
            {"static int Count(void);", "Count|int|void|%ClassName%"},
            {"afx_msg void OnPaint();", "OnPaint|void||%ClassName%"},
            {"LRESULT CALLBACK WndProc(HWND h, UINT m, WPARAM w, LPARAM l)",
             ("WndProc|LRESULT|" + wnd + "|%ClassName%").c_str()},
            {"unsigned long GetSize() const;", "GetSize|long||%ClassName%"},
            {"char *GetName();", "*GetName|char||%ClassName%"},
            {"CFoo(int a = 0);", "CFoo||int a = 0|%ClassName%"},
            {"virtual ~CFoo();", "~CFoo|virtual||%ClassName%"},
            {"void f( )", "f|void| |%ClassName%"},
            {"const char* GetName() const;", "GetName|char*||%ClassName%"},
            {"const CString& GetText();", "GetText|CString&||%ClassName%"},
            {"void f(int a,\r\n\tint b)",
             ("f|void|int a" + std::string(kSep) + "   int b|%ClassName%").c_str()},
            {"void f(int (*pfn)(int), int n)", "f|void|int (*pfn|%ClassName%"},
            {"void f(a,,b)", ("f|void|a" + std::string(kSep) + kSep + "b|%ClassName%").c_str()},
            {"void f(a,)", "f|void|a|%ClassName%"},
            {"void f(int staticCount)", "f|void|int Count|%ClassName%"},
            {"void WINAPI f(int WINAPI)", "f|void|int WINAPI|%ClassName%"},
            {"int f) (", nullptr},
            {"int f(int a = g({1}))", nullptr},
        });
}

TEST_F(GeneratorTest, MemberFunctions) {
  Check(CommentMemberFunction, "%Function%|%ClassName%|%ReturnValue%|%FunctionParam%",
        {
            {"void CFoo::Bar(int a, int b)",
             ("Bar|CFoo|void|int a" + std::string(kSep) + " int b").c_str()},
            {"CFoo::CFoo()", "CFoo|CFoo||"},
            {"CFoo::~CFoo()", "~CFoo|CFoo||"},
            {"BOOL CMyApp::InitInstance()", "InitInstance|CMyApp|BOOL|"},
            {"void NS::CFoo::Bar(int)", "Bar|CFoo|void|int"},
            {"std::string CFoo::Get()", "Get|string CFoo||"},
            {"void f(std::map<int, int>& m)", nullptr},
            {"::GlobalFunc()", nullptr},
            {"  ::GlobalFunc()", nullptr},
            {"std::vector<int> GetList();", "vector<int> GetList|std||"},
        });
}

TEST_F(GeneratorTest, Macros) {
  Check(CommentMacro, "%MicroName%|%FunctionParam%|%ReturnValue%",
        {
            {"#define MAX_LEN 256", "MAX_LEN|%FunctionParam%|%ReturnValue%"},
            {"#define   DEBUG_LEVEL\t2", "DEBUG_LEVEL|%FunctionParam%|%ReturnValue%"},
            {"#ifndef GUARD_H\r\n#define GUARD_H", "GUARD_H|%FunctionParam%|%ReturnValue%"},
            {"#define A 1\r\n#define B 2", "A|%FunctionParam%|%ReturnValue%"},
            {"#define EMPTY", "EMPTY|%FunctionParam%|%ReturnValue%"},
            {"#define", "|%FunctionParam%|%ReturnValue%"},
        });
  Check(CommentParamMacro, "%MicroName%|%FunctionParam%",
        {
            {"#define MAX(a, b) ((a) > (b) ? (a) : (b))",
             ("MAX|a" + std::string(kSep) + " b").c_str()},
            {"#define VAL (1+2)", "VAL|1+2"},
            {"#define NOARGS()", "NOARGS|"},
            {"#define INIT {(0)}", nullptr},
            {"#define BAD ) (", nullptr},
        });
}

TEST_F(GeneratorTest, Interfaces) {
  Check(CommentInterface, "%Interface%|%BaseInterface%",
        {
            {"interface IMyHost : public IDispatch", "IMyHost|IDispatch"},
            {"interface IMyHost : IDispatch", "IMyHost|IDispatch"},
            {"interface IMyHost;", "IMyHost;|"},
            {"interface IA : public IB, public IC", "IA|IB,publicIC"},
            {"interface IA : public IB, private IC", "IA|IC"},
            {"DECLARE_INTERFACE_(IMyHost, IDispatch)", "IMyHost|IDispatch"},
            {"DECLARE_INTERFACE_(IMyHost)", nullptr},
            {"DECLARE_INTERFACE(IMyBase)", "IMyBase|"},
            {"DECLARE_INTERFACE)IMyBase(", nullptr},
        });
}

TEST_F(GeneratorTest, Methods) {
  Check(
      CommentMethodDecl, "%MethodName%|%ReturnValue%|%FunctionParam%",
      {
          {"STDMETHOD(GetCount)(THIS_ long* pCount) PURE;", "GetCount|HRESULT|THIS_ long* pCount"},
          {"STDMETHOD_(ULONG, AddRef)(THIS) PURE;", " AddRef|ULONG|THIS"},
          {"virtual HRESULT STDMETHODCALLTYPE Foo(int a) = 0;", nullptr},
          {"STDMETHOD_(ULONG AddRef)(THIS) PURE;", nullptr},
          {"STDMETHOD(F)", nullptr},
      });
  Check(CommentMethodImpl, "%Interface%|%MethodName%|%ReturnValue%|%FunctionParam%",
        {
            {"STDMETHODIMP CMyObj::QueryInterface(REFIID riid, void** ppv)",
             ("CMyObj|QueryInterface|HRESULT|REFIID riid" + std::string(kSep) + " void** ppv")
                 .c_str()},
            {"STDMETHODIMP_(ULONG) CMyObj::Release()", "CMyObj|Release|ULONG|"},
            {"STDMETHODIMP CMyObj::Bar (int x)", "CMyObj|Bar |HRESULT|int x"},
            {"STDMETHODIMP\r\n  CMyObj::Bar(int x)", "CMyObj|Bar|HRESULT|int x"},
            {"STDMETHODIMP Foo(int x)", nullptr},
            {"STDMETHODIMP_ ULONG CMyObj::Release()", nullptr},
        });
}

}  // namespace
}  // namespace quillmark
