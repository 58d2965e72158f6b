#include "fdistribution.h"

#include <cmath>
#include <limits>

namespace FDistribution {

namespace {

// Continued fraction for I_x(a, b), evaluated by the modified Lentz method; it converges fast
// for x < (a + 1) / (a + b + 2), and the symmetry I_x(a, b) = 1 - I_(1-x)(b, a) covers the rest.
double betaFraction(double a, double b, double x)
{
    constexpr double Tiny = 1e-300;
    constexpr double Epsilon = 1e-15;
    const double qab = a + b;
    const double qap = a + 1.0;
    const double qam = a - 1.0;
    const auto notZero = [](double v) { return std::fabs(v) < Tiny ? Tiny : v; };
    double c = 1.0;
    double d = 1.0 / notZero(1.0 - qab * x / qap);
    double h = d;
    // One step of the method for the next coefficient: the factor it multiplies h by.
    const auto next = [&](double aa) {
        d = 1.0 / notZero(1.0 + aa * d);
        c = notZero(1.0 + aa / c);
        return d * c;
    };
    for (int m = 1; m <= 1000; ++m) {
        const double m2 = 2.0 * m;
        h *= next(m * (b - m) * x / ((qam + m2) * (a + m2)));
        const double step = next(-(a + m) * (qab + m) * x / ((a + m2) * (qap + m2)));
        h *= step;
        if (std::fabs(step - 1.0) < Epsilon)
            break;
    }
    return h;
}

} // namespace

double regularizedBeta(double a, double b, double x)
{
    if (x <= 0.0)
        return 0.0;
    if (x >= 1.0)
        return 1.0;
    // x^a (1-x)^b / (a B(a, b)), in logarithms so that large degrees of freedom do not overflow.
    const double front = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) +
                                  a * std::log(x) + b * std::log1p(-x));
    if (x < (a + 1.0) / (a + b + 2.0))
        return front * betaFraction(a, b, x) / a;
    return 1.0 - front * betaFraction(b, a, 1.0 - x) / b;
}

double cdf(double f, double d1, double d2)
{
    if (f <= 0.0)
        return 0.0;
    if (std::isinf(f))
        return 1.0;
    return regularizedBeta(d1 / 2.0, d2 / 2.0, d1 * f / (d1 * f + d2));
}

double quantile(double p, double d1, double d2)
{
    if (!(p > 0.0 && p < 1.0) || !(d1 > 0.0) || !(d2 > 0.0))
        return std::numeric_limits<double>::quiet_NaN();
    // Bisection on the beta variable x = d1 f / (d1 f + d2), which lives in [0, 1] and rises
    // with f: robust for any degrees of freedom, and 200 halvings reach the last bit.
    double low = 0.0;
    double high = 1.0;
    for (int i = 0; i < 200 && high - low > 1e-17; ++i) {
        const double middle = (low + high) / 2.0;
        if (regularizedBeta(d1 / 2.0, d2 / 2.0, middle) < p)
            low = middle;
        else
            high = middle;
    }
    const double x = (low + high) / 2.0;
    return d2 * x / (d1 * (1.0 - x));
}

} // namespace FDistribution
