// An affine matrix [a b c d e f] in the PDF convention: a point (x, y) becomes (a x + c y + e, b x + d y + f).
#pragma once

struct Matrix2x3 {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

  void Set(double a_, double b_, double c_, double d_, double e_, double f_) {
    a = a_;
    b = b_;
    c = c_;
    d = d_;
    e = e_;
    f = f_;
  }

  // This matrix followed by `other`: a point goes through this one first.
  void Concat(const Matrix2x3& other) {
    const Matrix2x3 m = *this;
    a = m.a * other.a + m.b * other.c;
    b = m.a * other.b + m.b * other.d;
    c = m.c * other.a + m.d * other.c;
    d = m.c * other.b + m.d * other.d;
    e = m.e * other.a + m.f * other.c + other.e;
    f = m.e * other.b + m.f * other.d + other.f;
  }
};
