#pragma once

// The F distribution, for the confidence intervals of the intraclass correlations. Degrees of
// freedom may be fractional (Satterthwaite's approximation gives such).
namespace FDistribution {

// I_x(a, b), the regularised incomplete beta function, for a, b > 0 and x in [0, 1].
double regularizedBeta(double a, double b, double x);

// P(F <= f) for F with d1 and d2 degrees of freedom.
double cdf(double f, double d1, double d2);

// The f with P(F <= f) = p, for p strictly between 0 and 1.
double quantile(double p, double d1, double d2);

} // namespace FDistribution
