#include "mainwnd_fixture.h"

#include "settingsfiles.h"
#include "testutil.h"

#include "framework/msgbox.h"
#include "provider/filterprovider.h"
#include "settings/globals.h"
#include "settings/settingsfile.h"
#include "settings/settingstext.h"

namespace {
std::function<void()> g_body;
bool g_bodyRan = false;

void CALLBACK RunBody(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  auto body = std::move(g_body);
  g_body = nullptr;
  g_bodyRan = true;
  if (body) body();
}

std::string ReadRaw(bool backup) { return ReadFileBytes(backup ? BackupSettingsPath() : MainSettingsPath()); }
}  // namespace

void Click(HWND button) { ::SendMessageA(button, BM_CLICK, 0, 0); }

void MainWindowTest::SetUp() {
  g_bSettingsChanged = false;
  g_bPromptOpen = false;
  previousCatalogue = SetCatalogue(&catalogue);
  SetMessageBoxHook([this](const char* text, const char*, UINT) {
    boxTexts.push_back(text);
    if (boxAnswers.empty()) return IDCANCEL;
    int answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
  });
  WriteDefaultSettings();
}

void MainWindowTest::TearDown() {
  SetMessageBoxHook(nullptr);
  SetCatalogue(previousCatalogue);
  g_installedPrograms.RemoveAll();
  g_chosenPrograms.RemoveAll();
}

void MainWindowTest::WriteSettings(const std::string& text) { ASSERT_TRUE(StoreSettingsText(text)); }

void MainWindowTest::WriteDefaultSettings() { WriteSettings(BuildDefaultSettingsText()); }

std::string MainWindowTest::MainFileBytes() { return ReadRaw(false); }
std::string MainWindowTest::BackupFileBytes() { return ReadRaw(true); }

std::vector<std::string> MainWindowTest::MainFileLines() {
  std::vector<std::string> lines;
  std::vector<char> buf(kSettingsCapacity);
  if (!ReadSettingsFile(MainSettingsPath().c_str(), buf.data(), buf.size())) return lines;
  std::string text = buf.data();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) {
      lines.push_back(text.substr(pos));
      break;
    }
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

INT_PTR MainWindowTest::RunModal(TestMainDlg& dlg, std::function<void()> body) {
  g_body = std::move(body);
  g_bodyRan = false;
  ::SetTimer(nullptr, 0, 1, RunBody);
  INT_PTR result = dlg.DoModal();
  EXPECT_TRUE(g_bodyRan) << "the window ended before the test could drive it";
  g_body = nullptr;
  return result;
}

void MainWindowTest::Pump() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (!AfxPreTranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }
}
