/* A C89 file: prototypes ahead of their definitions, a macro in each #if branch. */
#include <stddef.h>

static int clamp(int value, int low, int high);
static size_t count(const char *text);

#if defined(__GNUC__)
/**************************************************************
 *	Macro       : UNUSED
 *	Purpose     : 
 *	Notes       : 
 *	Author      : Your Name
 *	Date        : 2002年9月17日
 *	Parameters  : x
 *************************************************************/
#define UNUSED(x) (void)(x)
#else
#define UNUSED(x) ((void)(x))
#endif

/**************************************************************
 *	Struct      : range
 *	Description : 
 *	Purpose     : 
 *	History     : 
 *	Usage       : 
 *	Author      : Your Name
 *	Date        : 2002年9月17日
 *	Notes       : 
 *************************************************************/
struct range { int low; int high; };

/**************************************************************
 *	Function    : total
 *	Purpose     : 
 *	Process     : 
 *	Notes       : 
 *	Author      : Your Name
 *	Date        : 2002年9月17日
 *	Returns     : int
 *	Parameters  : const struct range *r,
//				const char *text
 *************************************************************/
int total(const struct range *r, const char *text)
{
    return clamp(r->low, 0, r->high) + (int)count(text);
}

/**************************************************************
 *	Function    : clamp
 *	Purpose     : 
 *	Process     : 
 *	Notes       : 
 *	Author      : Your Name
 *	Date        : 2002年9月17日
 *	Returns     : int
 *	Parameters  : int value,
//				int low,
//				int high
 *************************************************************/
static int clamp(int value, int low, int high)
{
    return value < low ? low : value > high ? high : value;
}

/**************************************************************
 *	Function    : count
 *	Purpose     : 
 *	Process     : 
 *	Notes       : 
 *	Author      : Your Name
 *	Date        : 2002年9月17日
 *	Returns     : size_t
 *	Parameters  : const char *text
 *************************************************************/
static size_t count(const char *text)
{
    size_t n = 0;
    UNUSED(text);
    while (text[n] != '\0') ++n;
    return n;
}
