#pragma once

// 视图类
class AFX_EXT_CLASS CMyView : public CView, protected IHost
{
public:
    int Draw(HDC hdc, const RECT& rc);
};
