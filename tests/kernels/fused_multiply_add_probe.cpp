// Compiled with contraction on, so that the compiler fuses these products and sums: the check of
// the kernel objects must find the fused multiply-adds in this object, or it proves nothing.
void multiplyAddProbe(double* acc, const double* a, const double* b, int n) {
    for (int i = 0; i < n; ++i) {
        acc[i] = a[i] * b[i] + acc[i];
    }
}

double multiplyAddProbe(double a, double b, double c) {
    return a * b + c;
}
