// 形状：画图用的类和函数
#pragma once

class CShape : public CObject
{
public:
    virtual ~CShape();
};

///////////////////////////////////////////////////////////////
//	函 数 名 : DrawShapes
//	函数功能 : 
//	处理过程 : 
//	备    注 : 
//	作    者 : Author Name
//	时    间 : 2002年9月17日
//	返 回 值 : int
//	参数说明 : HDC hdc,
//				                 const CShape* shapes,
//				 int count
///////////////////////////////////////////////////////////////
int DrawShapes(HDC hdc,
               const CShape* shapes, int count);

int unused1;
int unused2;
int tail;
