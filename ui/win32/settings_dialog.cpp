// The settings dialog (template 130) on Win32.
#include "win32_views.h"

#include <commctrl.h>
#include <windowsx.h>

namespace quillmark::ui::win32 {
namespace {

constexpr UINT_PTR kListSubclass = 1;

Rect FromRect(const RECT& r) {
  return {r.left, r.top, r.right, r.bottom};
}

void InsertItems(HWND tree, const std::vector<KindTreeItem>& items, HTREEITEM parent) {
  HTREEITEM after = TVI_FIRST;
  for (const KindTreeItem& item : items) {
    std::wstring text = Shown(item.text);
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = text.data();
    insert.item.iImage = item.image;
    insert.item.iSelectedImage = item.image;
    insert.item.lParam = reinterpret_cast<LPARAM>(item.node);
    after = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    InsertItems(tree, item.children, after);
  }
}

}  // namespace

SettingsDialog::~SettingsDialog() {
  if (images_ != nullptr) ImageList_Destroy(images_);
  if (listFont_ != nullptr) DeleteObject(listFont_);
}

void SettingsDialog::OnInitDialog() {
  tree_ = GetDlgItem(hwnd_, kIdKindTree);
  style_ = GetDlgItem(hwnd_, kIdStyleEdit);
  list_ = GetDlgItem(hwnd_, kIdPropertyList);
  images_ = ImageList_LoadImageW(instance_, MAKEINTRESOURCEW(kKindBitmap), 16, 3, CLR_NONE,
                                 IMAGE_BITMAP, LR_CREATEDIBSECTION);
  TreeView_SetImageList(tree_, images_, TVSIL_NORMAL);
  HDC dc = GetDC(hwnd_);
  listFont_ = CreateFontW(-MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE,
                          FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                          DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
  ReleaseDC(hwnd_, dc);
  SetWindowSubclass(list_, &SettingsDialog::ListProc, kListSubclass,
                    reinterpret_cast<DWORD_PTR>(this));
  presenter_.Open();
}

bool SettingsDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      result = TRUE;  // the default focus
      return true;
    case kKindSelectedMessage:
      presenter_.OnKindSelected(reinterpret_cast<TemplateNode*>(wParam));
      result = 0;
      return true;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom != kIdKindTree || header->code != TVN_SELCHANGEDW) return false;
      const auto* change = reinterpret_cast<const NMTREEVIEWW*>(lParam);
      // Items with children are groups: selecting one shows nothing.
      if (change->itemNew.hItem == nullptr || TreeView_GetChild(tree_, change->itemNew.hItem))
        return false;
      TVITEMW item = {};
      item.mask = TVIF_PARAM;
      item.hItem = change->itemNew.hItem;
      TreeView_GetItem(tree_, &item);
      SendMessageW(hwnd_, kKindSelectedMessage, static_cast<WPARAM>(item.lParam), 0);
      return false;
    }
    case WM_MEASUREITEM: {
      auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (measure->CtlID != kIdPropertyList) return false;
      measure->itemHeight = kPropertyRowHeight;
      result = TRUE;
      return true;
    }
    case WM_DRAWITEM: {
      const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (draw->CtlID != kIdPropertyList) return false;
      DrawRow(*draw);
      result = TRUE;
      return true;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
          EndDialog(hwnd_, LOWORD(wParam));
          return true;
        case kIdLoad:
          presenter_.OnLoad();
          return true;
        case kIdSave:
          presenter_.OnSave();
          return true;
        case kIdPropertyList:
          if (HIWORD(wParam) == LBN_SELCHANGE) RowSelectionChanged();
          return true;
      }
      return false;
    case WM_DESTROY:
      // Both buttons, the close box and Escape end here: the edits are kept.
      presenter_.OnClose();
      return false;
  }
  return false;
}

LRESULT CALLBACK SettingsDialog::ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR, DWORD_PTR data) {
  auto* dialog = reinterpret_cast<SettingsDialog*>(data);
  if (message == WM_COMMAND && LOWORD(wParam) == kIdInPlaceEdit && HIWORD(wParam) == EN_CHANGE) {
    // Text with an unpaired surrogate has no UTF-8 form: it is refused
    // audibly and the value stays what it was until the text is fixed.
    if (const std::optional<std::string> text =
            quillmark::win32::Narrow(WindowText(dialog->inPlace_))) {
      dialog->presenter_.OnInPlaceEditChanged(*text);
    } else {
      MessageBeep(MB_ICONEXCLAMATION);
    }
    InvalidateRect(hwnd, nullptr, TRUE);
    return 0;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &SettingsDialog::ListProc, kListSubclass);
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

void SettingsDialog::DrawRow(const DRAWITEMSTRUCT& item) {
  if (item.itemID == static_cast<UINT>(-1)) return;  // an empty list
  const int row = static_cast<int>(item.itemData);
  if (row < 0 || row >= presenter_.RowCount()) return;
  const PropertyRow& values = presenter_.Rows()[static_cast<std::size_t>(row)];
  const std::string* texts[] = {&values.label, &values.token, &values.value};
  const std::array<Rect, 3> cells = PropertyCells(FromRect(item.rcItem));
  HGDIOBJ oldFont = SelectObject(item.hDC, listFont_);
  SetBkMode(item.hDC, TRANSPARENT);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    RECT cell = {cells[i].left, cells[i].top, cells[i].right, cells[i].bottom};
    std::wstring text = Shown(*texts[i]);
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &cell,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    DrawEdge(item.hDC, &cell, EDGE_ETCHED, BF_RIGHT | BF_BOTTOM);
  }
  SelectObject(item.hDC, oldFont);
}

void SettingsDialog::RowSelectionChanged() {
  const int row = ListBox_GetCurSel(list_);
  RECT r = {};
  if (row != LB_ERR) ListBox_GetItemRect(list_, row, &r);
  presenter_.OnRowSelected(row == LB_ERR ? -1 : row, FromRect(r));
  InvalidateRect(list_, nullptr, TRUE);
}

void SettingsDialog::SetCaption(const std::string& caption) {
  SetWindowTextW(hwnd_, Shown(caption).c_str());
}

void SettingsDialog::ShowKindTree(const std::vector<KindTreeItem>& items) {
  TreeView_DeleteAllItems(tree_);
  InsertItems(tree_, items, TVI_ROOT);
}

void SettingsDialog::ShowRows() {
  ListBox_ResetContent(list_);
  // No LBS_HASSTRINGS: the "string" is the item data, the row's index.
  for (int i = 0; i < presenter_.RowCount(); ++i)
    SendMessageW(list_, LB_ADDSTRING, 0, static_cast<LPARAM>(i));
}

std::string SettingsDialog::StyleText() {
  if (std::optional<std::string> text = quillmark::win32::Narrow(WindowText(style_)))
    return std::move(*text);
  // Text with an unpaired surrogate has no UTF-8 form: refused audibly, the
  // kind keeps the lines it had.
  MessageBeep(MB_ICONEXCLAMATION);
  const TemplateNode* node = presenter_.CurrentNode();
  return node == nullptr ? std::string() : JoinTemplateLines(node->lines);
}

void SettingsDialog::SetStyleText(const std::string& text) {
  SetWindowTextW(style_, Shown(text).c_str());
}

void SettingsDialog::PlaceInPlaceEdit(Rect where, const std::string& text) {
  const std::wstring wide = Shown(text);
  if (inPlace_ == nullptr) {
    inPlace_ = CreateWindowExW(
        0, L"EDIT", wide.c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER | ES_CENTER | ES_AUTOHSCROLL,
        where.left, where.top, where.Width(), where.Height(), list_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdInPlaceEdit)), instance_, nullptr);
    SendMessageW(inPlace_, WM_SETFONT, reinterpret_cast<WPARAM>(listFont_), TRUE);
    return;
  }
  MoveWindow(inPlace_, where.left, where.top, where.Width(), where.Height(), TRUE);
  SetWindowTextW(inPlace_, wide.c_str());
  ShowWindow(inPlace_, SW_SHOW);
}

void SettingsDialog::HideInPlaceEdit() {
  if (inPlace_ != nullptr) ShowWindow(inPlace_, SW_HIDE);
}

}  // namespace quillmark::ui::win32
