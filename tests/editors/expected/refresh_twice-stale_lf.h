// 形状：画图用的类和函数
#pragma once

///////////////////////////////////////////////////////////////
//	类    名 : CShape
//	基    类 : CObject,
//				IDrawable
//	描    述 : 画图的基类
//	功    能 : 
//	历史记录 : 
//	使用说明 : 
//	作    者 : Author Name
//	时    间 : 2002年9月17日
//	备    注 : 
///////////////////////////////////////////////////////////////
class CShape : public CObject, public IDrawable
{
public:
    virtual ~CShape();
};

int DrawShapes(HDC hdc,
               const CShape* shapes, int count);

int unused1;
int unused2;
int tail;
