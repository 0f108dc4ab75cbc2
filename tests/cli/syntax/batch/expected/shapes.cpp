#include "shapes.h"

// Already commented: left alone.
double Area(const Shape& shape);

///////////////////////////////////////////////////////////////
//	函 数 名 : Area
//	所属类名 : Circle
//	函数功能 : 
//	处理过程 : 
//	备    注 : 
//	作    者 : Author Name
//	时    间 : 2002年9月17日
//	返 回 值 : double
//	参数说明 : 
///////////////////////////////////////////////////////////////
double Circle::Area() const
{
    return 3.14159 * radius_ * radius_;
}

///////////////////////////////////////////////////////////////
//	函 数 名 : Largest
//	函数功能 : 
//	处理过程 : 
//	备    注 : 
//	作    者 : Author Name
//	时    间 : 2002年9月17日
//	返 回 值 : T
//	参数说明 : const std::vector<T>& items,
//				U compare = U()
///////////////////////////////////////////////////////////////
template <typename T, typename U = std::less<T>>
T Largest(const std::vector<T>& items, U compare = U())
{
    return items.front();
}

///////////////////////////////////////////////////////////////
//	宏 名 称 : SQUARE
//	功    能 : 
//	备    注 : 
//	作    者 : Author Name
//	时    间 : 2002年9月17日
//	参数说明 : x
///////////////////////////////////////////////////////////////
#define SQUARE(x) ((x) * (x))
#define PI 3.14159

///////////////////////////////////////////////////////////////
//	函 数 名 : Counter
//	函数功能 : 
//	处理过程 : 
//	备    注 : 
//	作    者 : Author Name
//	时    间 : 2002年9月17日
//	返 回 值 : int
//	参数说明 : int start = 0
///////////////////////////////////////////////////////////////
static int Counter(int start = 0) { return start; }
