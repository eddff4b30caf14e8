#include "framework/controls.h"

#include <vector>

BOOL CButton::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* pResult) {
  if (message != WM_DRAWITEM) return FALSE;
  DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
  *pResult = TRUE;
  return TRUE;
}

int CListCtrl::InsertColumn(int col, const char* heading, int format, int width) const {
  LVCOLUMNA c = {};
  c.mask = LVCF_TEXT | LVCF_FMT | LVCF_SUBITEM;
  c.fmt = format;
  c.pszText = const_cast<char*>(heading);
  c.iSubItem = col;
  if (width >= 0) {
    c.mask |= LVCF_WIDTH;
    c.cx = width;
  }
  return static_cast<int>(SendMessage(LVM_INSERTCOLUMNA, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(&c)));
}

int CListCtrl::InsertItem(int item, const char* text, int image) const {
  LVITEMA it = {};
  it.mask = LVIF_TEXT;
  it.iItem = item;
  it.pszText = const_cast<char*>(text);
  if (image >= 0) {
    it.mask |= LVIF_IMAGE;
    it.iImage = image;
  }
  return static_cast<int>(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it)));
}

int CListCtrl::GetItemText(int item, int sub, char* buf, int cap) const {
  if (cap <= 0) return 0;
  buf[0] = '\0';
  LVITEMA it = {};
  it.iSubItem = sub;
  it.pszText = buf;
  it.cchTextMax = cap;
  int n = static_cast<int>(SendMessage(LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it)));
  buf[cap - 1] = '\0';
  return n;
}

std::string CListCtrl::GetItemText(int item, int sub) const {
  std::vector<char> buf(1024);
  GetItemText(item, sub, buf.data(), static_cast<int>(buf.size()));
  return buf.data();
}

BOOL CListCtrl::GetCheck(int item) const {
  UINT state = GetItemState(item, LVIS_STATEIMAGEMASK);
  return ((state >> 12) - 1) == 1;
}

BOOL CListCtrl::SetCheck(int item, BOOL check) const {
  return SetItemState(item, INDEXTOSTATEIMAGEMASK(check ? 2 : 1), LVIS_STATEIMAGEMASK);
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask) const {
  LVITEMA it = {};
  it.state = state;
  it.stateMask = mask;
  return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it)));
}

int CListCtrl::HitTest(POINT pt, UINT* flags) const {
  LVHITTESTINFO info = {};
  info.pt = pt;
  int index = static_cast<int>(SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
  if (flags) *flags = info.flags;
  return index;
}

BOOL CListCtrl::GetItemRect(int item, RECT* r, int code) const {
  r->left = code;
  return static_cast<BOOL>(SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(r)));
}

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow) {
  DeleteImageList();
  m_hImageList = ImageList_Create(cx, cy, flags, initial, grow);
  return m_hImageList != nullptr;
}

BOOL CImageList::DeleteImageList() {
  if (!m_hImageList) return FALSE;
  ImageList_Destroy(m_hImageList);
  m_hImageList = nullptr;
  return TRUE;
}

BOOL CToolBar::CreateEx(CWnd* parent, DWORD ctrlStyle, DWORD style, RECT, UINT id) {
  DWORD ws = style & (WS_CHILD | WS_VISIBLE | WS_BORDER);
  ws |= ctrlStyle;
  if (style & CBRS_TOOLTIPS) ws |= TBSTYLE_TOOLTIPS;
  if (style & CBRS_ALIGN_TOP) ws |= CCS_TOP;
  ws |= CCS_NODIVIDER;
  HWND h = ::CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, ws, 0, 0, 0, 0, parent->m_hWnd,
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), ::GetModuleHandleA(nullptr), nullptr);
  if (!h) return FALSE;
  ::SendMessageA(h, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  return SubclassWindow(h);
}

BOOL CToolBar::LoadToolBar(UINT resourceId) {
  // TOOLBAR resource: version, button width, height, count, then one command id per button (0: separator).
  HINSTANCE inst = ::GetModuleHandleA(nullptr);
  HRSRC res = ::FindResourceA(inst, MAKEINTRESOURCEA(resourceId), MAKEINTRESOURCEA(241));
  if (!res) return FALSE;
  HGLOBAL g = ::LoadResource(inst, res);
  const WORD* data = g ? static_cast<const WORD*>(::LockResource(g)) : nullptr;
  DWORD size = ::SizeofResource(inst, res);
  if (!data || size < 8 || data[0] != 1) return FALSE;
  WORD width = data[1], height = data[2], count = data[3];
  if (size < 8u + 2u * count) return FALSE;
  m_bitmap = static_cast<HBITMAP>(
      ::LoadImageA(inst, MAKEINTRESOURCEA(resourceId), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
  if (!m_bitmap) return FALSE;

  int images = 0;
  for (WORD i = 0; i < count; ++i)
    if (data[4 + i]) ++images;
  SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(width, height));
  TBADDBITMAP add = {nullptr, reinterpret_cast<UINT_PTR>(m_bitmap)};
  SendMessage(TB_ADDBITMAP, static_cast<WPARAM>(images), reinterpret_cast<LPARAM>(&add));

  std::vector<TBBUTTON> buttons(count);
  int image = 0;
  for (WORD i = 0; i < count; ++i) {
    TBBUTTON& b = buttons[i];
    b = {};
    b.idCommand = data[4 + i];
    if (b.idCommand) {
      b.iBitmap = image++;
      b.fsState = TBSTATE_ENABLED;
      b.fsStyle = BTNS_BUTTON;
    } else {
      b.fsStyle = BTNS_SEP;
    }
  }
  SendMessage(TB_ADDBUTTONSA, count, reinterpret_cast<LPARAM>(buttons.data()));
  SendMessage(TB_AUTOSIZE);
  return TRUE;
}

CToolBar::~CToolBar() {
  if (m_bitmap) ::DeleteObject(m_bitmap);
}
