// The program's window framework in one include.
#pragma once
#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/gdi.h"
#include "framework/msgbox.h"
#include "framework/winapp.h"
#include "framework/wnd.h"
