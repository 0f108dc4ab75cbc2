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
