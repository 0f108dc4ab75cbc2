/* A C89 file: prototypes ahead of their definitions, a macro in each #if branch. */
#include <stddef.h>

static int clamp(int value, int low, int high);
static size_t count(const char *text);

#if defined(__GNUC__)
/**************************************************************
 *	宏 名 称 : UNUSED
 *	功    能 : 
 *	备    注 : 
 *	作    者 : Your Name
 *	时    间 : 2002年9月17日
 *	参数说明 : x
 *************************************************************/
#define UNUSED(x) (void)(x)
#else
#define UNUSED(x) ((void)(x))
#endif

/**************************************************************
 *	结构体名 : range
 *	描    述 : 
 *	功    能 : 
 *	历史记录 : 
 *	使用说明 : 
 *	作    者 : Your Name
 *	时    间 : 2002年9月17日
 *	备    注 : 
 *************************************************************/
struct range { int low; int high; };

/**************************************************************
 *	函 数 名 : total
 *	函数功能 : 
 *	处理过程 : 
 *	备    注 : 
 *	作    者 : Your Name
 *	时    间 : 2002年9月17日
 *	返 回 值 : int
 *	参数说明 : const struct range *r,
//				const char *text
 *************************************************************/
int total(const struct range *r, const char *text)
{
    return clamp(r->low, 0, r->high) + (int)count(text);
}

/**************************************************************
 *	函 数 名 : clamp
 *	函数功能 : 
 *	处理过程 : 
 *	备    注 : 
 *	作    者 : Your Name
 *	时    间 : 2002年9月17日
 *	返 回 值 : int
 *	参数说明 : int value,
//				int low,
//				int high
 *************************************************************/
static int clamp(int value, int low, int high)
{
    return value < low ? low : value > high ? high : value;
}

/**************************************************************
 *	函 数 名 : count
 *	函数功能 : 
 *	处理过程 : 
 *	备    注 : 
 *	作    者 : Your Name
 *	时    间 : 2002年9月17日
 *	返 回 值 : size_t
 *	参数说明 : const char *text
 *************************************************************/
static size_t count(const char *text)
{
    size_t n = 0;
    UNUSED(text);
    while (text[n] != '\0') ++n;
    return n;
}
