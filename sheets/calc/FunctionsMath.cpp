// Arithmetic functions: rounding on the decimal value, MOD, powers, roots,
// logarithms and angles.
#include "sheets/calc/FormulaBuiltins.h"

#include <QRandomGenerator>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

namespace tegaro::sheets {

double roundDecimal(double v, int digits, Rounding mode)
{
    if (v == 0 || !std::isfinite(v))
        return v;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(v));
    char mantissa[16];
    int n = 0;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            mantissa[n++] = *p;
    const int exponent = std::atoi(p + 1);
    const double sign = v < 0 ? -1 : 1;
    const int keep = exponent + 1 + digits; // significant digits that stay
    if (keep >= 15)
        return sign * std::strtod(buf, nullptr);
    long long kept = 0;
    bool rest = false;
    for (int i = 0; i < 15; ++i) {
        if (i < keep)
            kept = kept * 10 + (mantissa[i] - '0');
        else if (mantissa[i] != '0')
            rest = true;
    }
    bool bump = false;
    if (mode == Rounding::HalfAway)
        bump = keep >= 0 && mantissa[keep] >= '5';
    else if (mode == Rounding::Up)
        bump = rest;
    if (bump)
        ++kept;
    std::snprintf(buf, sizeof buf, "%llde%d", kept, -digits);
    return sign * std::strtod(buf, nullptr);
}

namespace {

Value result(double v)
{
    if (!std::isfinite(v))
        return Value::error(err::Num);
    return Value::num(v == 0 ? 0.0 : v);
}

template <double (*F)(double)>
Value unaryMath(Call& c)
{
    const Num x = c.number(0);
    return x ? result(F(x.v)) : x.fail();
}

double absolute(double x) { return std::fabs(x); }
double sign(double x) { return x > 0 ? 1 : x < 0 ? -1
                                                 : 0; }
double wholeBelow(double x) { return std::floor(round15(x)); }
double radians(double x) { return x * std::numbers::pi / 180; }
double degrees(double x) { return x * 180 / std::numbers::pi; }
double sine(double x) { return std::sin(x); }
double cosine(double x) { return std::cos(x); }
double tangent(double x) { return std::tan(x); }
double arcTangent(double x) { return std::atan(x); }
double exponential(double x) { return std::exp(x); }

Value rounding(Call& c, Rounding mode, double defaultDigits)
{
    const Num x = c.number(0);
    if (!x)
        return x.fail();
    const Num d = c.integer(1, defaultDigits);
    if (!d)
        return d.fail();
    return result(roundDecimal(x.v, int(std::clamp(d.v, -400.0, 400.0)), mode));
}

Value roundFn(Call& c) { return rounding(c, Rounding::HalfAway, 0); }
Value roundUp(Call& c) { return rounding(c, Rounding::Up, 0); }
Value roundDown(Call& c) { return rounding(c, Rounding::Down, 0); }
Value trunc(Call& c) { return rounding(c, Rounding::Down, 0); }

Value mod(Call& c)
{
    const Num n = c.number(0), d = c.number(1);
    if (!n)
        return n.fail();
    if (!d)
        return d.fail();
    if (d.v == 0)
        return Value::error(err::Div0);
    const double q = std::floor(round15(n.v / d.v));
    if (std::fabs(q) >= 1125899906842624.0) // 2^50: no digits left for the remainder
        return Value::error(err::Num);
    return result(n.v - d.v * q);
}

Value power(Call& c)
{
    const Num x = c.number(0), y = c.number(1);
    if (!x)
        return x.fail();
    if (!y)
        return y.fail();
    if (x.v == 0 && y.v == 0)
        return Value::error(err::Num);
    if (x.v == 0 && y.v < 0)
        return Value::error(err::Div0);
    return result(std::pow(x.v, y.v));
}

Value squareRoot(Call& c)
{
    const Num x = c.number(0);
    if (!x)
        return x.fail();
    return x.v < 0 ? Value::error(err::Num) : result(std::sqrt(x.v));
}

Value logarithm(Call& c, double base)
{
    const Num x = c.number(0);
    if (!x)
        return x.fail();
    Num b = c.given(1) ? c.number(1) : Num{base, -1};
    if (!b)
        return b.fail();
    if (x.v <= 0 || b.v <= 0)
        return Value::error(err::Num);
    if (b.v == 1)
        return Value::error(err::Div0);
    return result(std::log(x.v) / std::log(b.v));
}

Value log(Call& c) { return logarithm(c, 10); }
Value ln(Call& c) { return logarithm(c, std::numbers::e); }
Value log10(Call& c)
{
    const Num x = c.number(0);
    if (!x)
        return x.fail();
    return x.v <= 0 ? Value::error(err::Num) : result(std::log10(x.v));
}

Value arcSine(Call& c)
{
    const Num x = c.number(0);
    if (!x)
        return x.fail();
    return std::fabs(x.v) > 1 ? Value::error(err::Num) : result(std::asin(x.v));
}

Value arcCosine(Call& c)
{
    const Num x = c.number(0);
    if (!x)
        return x.fail();
    return std::fabs(x.v) > 1 ? Value::error(err::Num) : result(std::acos(x.v));
}

Value arcTangent2(Call& c)
{
    const Num x = c.number(0), y = c.number(1);
    if (!x)
        return x.fail();
    if (!y)
        return y.fail();
    if (x.v == 0 && y.v == 0)
        return Value::error(err::Div0);
    return result(std::atan2(y.v, x.v));
}

Value pi(Call&) { return Value::num(std::numbers::pi); }

// CEILING and FLOOR: multiples of the significance, away from or toward
// zero as today's Excel does for negative numbers.
Value multiple(Call& c, bool up)
{
    const Num x = c.number(0), s = c.number(1);
    if (!x)
        return x.fail();
    if (!s)
        return s.fail();
    if (x.v == 0)
        return Value::num(0);
    if (s.v == 0)
        return up ? Value::num(0) : Value::error(err::Div0);
    if (x.v > 0 && s.v < 0)
        return Value::error(err::Num);
    // both negative: CEILING goes away from zero and FLOOR toward it
    const double q = round15(x.v / s.v);
    return result((up ? std::ceil(q) : std::floor(q)) * s.v);
}

Value ceiling(Call& c) { return multiple(c, true); }
Value floorFn(Call& c) { return multiple(c, false); }

Value evenOdd(Call& c, bool even)
{
    const Num x = c.number(0);
    if (!x)
        return x.fail();
    double a = std::ceil(round15(std::fabs(x.v)));
    if (even ? std::fmod(a, 2) != 0 : std::fmod(a, 2) == 0)
        a += 1;
    return result(x.v < 0 ? -a : a);
}

Value even(Call& c) { return evenOdd(c, true); }
Value odd(Call& c) { return evenOdd(c, false); }

Value factorial(Call& c)
{
    const Num x = c.number(0);
    if (!x)
        return x.fail();
    if (x.v < 0)
        return Value::error(err::Num);
    const int n = int(std::floor(x.v));
    if (n > 170)
        return Value::error(err::Num);
    double f = 1;
    for (int i = 2; i <= n; ++i)
        f *= i;
    return result(f);
}

Value randomFn(Call&)
{
    return Value::num(QRandomGenerator::global()->generateDouble());
}

constexpr BuiltinEntry kMath[] = {
    {15, unaryMath<sine>},
    {16, unaryMath<cosine>},
    {17, unaryMath<tangent>},
    {18, unaryMath<arcTangent>},
    {19, pi},
    {20, squareRoot},
    {21, unaryMath<exponential>},
    {22, ln},
    {23, log10},
    {24, unaryMath<absolute>},
    {25, unaryMath<wholeBelow>},
    {26, unaryMath<sign>},
    {27, roundFn},
    {39, mod},
    {63, randomFn},
    {97, arcTangent2},
    {98, arcSine},
    {99, arcCosine},
    {109, log},
    {184, factorial},
    {197, trunc},
    {212, roundUp},
    {213, roundDown},
    {279, even},
    {285, floorFn},
    {288, ceiling},
    {298, odd},
    {337, power},
    {342, unaryMath<radians>},
    {343, unaryMath<degrees>},
};

} // namespace

std::span<const BuiltinEntry> mathBuiltins()
{
    return kMath;
}

} // namespace tegaro::sheets
