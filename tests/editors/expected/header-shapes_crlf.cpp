///////////////////////////////////////////////////////////////
//	文 件 名 :shapes_crlf.cpp
//	文件功能 :
//	作    者 : Author Name
//	创建时间 : 2002年9月17日
//	项目名称 ：editors
//	操作系统 : 
//	备    注 :
//	历史记录： : 
///////////////////////////////////////////////////////////////
// 形状：画图用的类和函数
#pragma once

class CShape : public CObject
{
public:
    virtual ~CShape();
};

int DrawShapes(HDC hdc,
               const CShape* shapes, int count);

int unused1;
int unused2;
int tail;
