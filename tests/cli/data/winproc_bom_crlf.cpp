#include "app.h"

// 窗口过程
LRESULT CALLBACK WndProc(HWND h, UINT m,
	WPARAM w, LPARAM l)
{
    return 0;
}
