int a = 0;

    f(a);
return x;
