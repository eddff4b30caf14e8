// Thin wrappers over the common controls the dialogs bind to.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "framework/wnd.h"

class CButton : public CWnd {
 public:
  int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
  void SetCheck(int state) const { SendMessage(BM_SETCHECK, static_cast<WPARAM>(state)); }
  UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
  UINT GetButtonStyle() const { return GetStyle() & 0xFFFF; }
  void SetButtonStyle(UINT style, BOOL redraw = TRUE) const { SendMessage(BM_SETSTYLE, style, redraw); }
  // Owner-drawn buttons paint here; the parent reflects WM_DRAWITEM to it.
  virtual void DrawItem(LPDRAWITEMSTRUCT) {}
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

class CEdit : public CWnd {
 public:
  void SetSel(int start, int end) const { SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end); }
};

class CStatic : public CWnd {};

class CComboBox : public CWnd {
 public:
  int AddString(const char* s) const { return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s))); }
  int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
  int FindStringExact(const char* s) const {
    return static_cast<int>(SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(s)));
  }
};

class CListCtrl : public CWnd {
 public:
  int InsertColumn(int col, const char* heading, int format = LVCFMT_LEFT, int width = -1) const;
  int InsertItem(int item, const char* text, int image = -1) const;
  int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
  // Text of an item's column, cut to cap - 1 bytes; returns its length.
  int GetItemText(int item, int sub, char* buf, int cap) const;
  std::string GetItemText(int item, int sub) const;
  BOOL GetCheck(int item) const;
  BOOL SetCheck(int item, BOOL check = TRUE) const;
  DWORD SetExtendedStyle(DWORD style) const {
    return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style)));
  }
  DWORD GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
  HIMAGELIST SetImageList(HIMAGELIST list, int which) const {
    return reinterpret_cast<HIMAGELIST>(SendMessage(LVM_SETIMAGELIST, static_cast<WPARAM>(which), reinterpret_cast<LPARAM>(list)));
  }
  int HitTest(POINT pt, UINT* flags = nullptr) const;
  BOOL GetItemRect(int item, RECT* r, int code = LVIR_BOUNDS) const;
  BOOL DeleteAllItems() const { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
  BOOL SetItemState(int item, UINT state, UINT mask) const;
  UINT GetItemState(int item, UINT mask) const {
    return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(item), mask));
  }
  int GetSelectedCount() const { return static_cast<int>(SendMessage(LVM_GETSELECTEDCOUNT)); }
};

class CDateTimeCtrl : public CWnd {
 public:
  BOOL SetFormat(const char* format) const { return static_cast<BOOL>(SendMessage(DTM_SETFORMATA, 0, reinterpret_cast<LPARAM>(format))); }
  BOOL SetTime(const SYSTEMTIME* t) const {
    return static_cast<BOOL>(SendMessage(DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(t)));
  }
  DWORD GetTime(SYSTEMTIME* t) const { return static_cast<DWORD>(SendMessage(DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(t))); }
};

// Owns an image list handle.
class CImageList {
 public:
  CImageList() = default;
  ~CImageList() { DeleteImageList(); }
  CImageList(const CImageList&) = delete;
  CImageList& operator=(const CImageList&) = delete;

  BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
  int Add(HICON icon) const { return ImageList_AddIcon(m_hImageList, icon); }
  int GetImageCount() const { return m_hImageList ? ImageList_GetImageCount(m_hImageList) : 0; }
  BOOL DeleteImageList();
  operator HIMAGELIST() const { return m_hImageList; }

  HIMAGELIST m_hImageList = nullptr;
};

// Control-bar styles of a toolbar, as the main window asks for them.
constexpr DWORD CBRS_ALIGN_TOP = 0x2000;
constexpr DWORD CBRS_TOOLTIPS = 0x0010;
constexpr DWORD CBRS_GRIPPER = 0x00400000;
constexpr UINT AFX_IDW_TOOLBAR = 0xE800;

// A toolbar child window filled from a TOOLBAR resource and its bitmap.
class CToolBar : public CWnd {
 public:
  BOOL CreateEx(CWnd* parent, DWORD ctrlStyle, DWORD style, RECT borders = {0, 0, 0, 0}, UINT id = AFX_IDW_TOOLBAR);
  BOOL LoadToolBar(UINT resourceId);
  int GetButtonCount() const { return static_cast<int>(SendMessage(TB_BUTTONCOUNT)); }

 private:
  HBITMAP m_bitmap = nullptr;

 public:
  ~CToolBar() override;
};
