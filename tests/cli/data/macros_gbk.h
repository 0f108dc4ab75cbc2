#ifndef MACROS_H
#define MACROS_H
// ×î´óÖµ
#define MAX(a, b) ((a) > (b) ? (a) : (b))
#define MAX_LEN 256
#define INIT {(0)}
#endif
