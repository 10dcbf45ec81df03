#pragma once
// The 27 rows as the user sees them, written out here on their own and not
// read from the records, so that a slip in a record shows: the caption of
// the list item, the three field labels ("" for a hidden field) and the
// picture file in pic/. The window tests and the picture tests both check
// against this one table.

#include <array>

namespace pelmora::testing {

struct ExpectedRow {
    const char* caption;
    const char* label1;
    const char* label2;
    const char* label3;
    const char* picture;
};

inline constexpr std::array<ExpectedRow, 27> kExpectedRows = {{
    {"Beta", "a", "b", "", "beta.jpg"},
    {"Bernoulli", "p", "", "", "bernoulli.jpg"},
    {"Bernoulli-Gauss", "p", "mean", "sigma", "bernoulligauss.jpg"},
    {"Binomial", "n", "p", "", "binonial.jpg"},
    {"Cauchy", "afa", "beta", "", "cauchy.jpg"},
    {"Chi-square", "n", "", "", "chisquare.jpg"},
    {"Continuous Uniform", "a", "b", "", "continousuniform.jpg"},
    {"Discrete Uniform", "n", "", "", "discreteuniform.jpg"},
    {"Erlang", "m", "beta", "", "erlang.jpg"},
    {"Exponential", "lambda", "", "", "exp.jpg"},
    {"F", "d1", "d2", "", "f.jpg"},
    {"Gamma", "afa", "beta", "", "gamma.jpg"},
    {"Gauss Normal", "mean", "sigma", "", "gauss.jpg"},
    {"Geometric", "p", "", "", "geometric.jpg"},
    {"Laplace", "beta", "", "", "laplace.jpg"},
    {"Log Normal", "mean", "sigma", "", "lognormal.jpg"},
    {"Logistic", "", "", "", "logistic.jpg"},
    {"Poisson", "lambda", "", "", "poisson.jpg"},
    {"Rayleigh", "sigma", "", "", "rayleigh.jpg"},
    {"Standard Normal", "", "", "", "standnormal.jpg"},
    {"Student's T ", "n", "", "", "t.jpg"},
    {"Triangle", "a", "b", "m (a<m<b)", "triangle.jpg"},
    {"Negative Binomial", "r", "p (0<p<1)", "", "negbin.jpg"},
    {"Noncentral Chi-square", "n", "delta", "", "noncenchisquare.jpg"},
    {"Noncentral F", "d1", "d2", "delta", "noncenf.jpg"},
    {"Noncentral T", "n", "delta", "", "noncent.jpg"},
    {"Weibull", "afa", "beta", "", "weibull.jpg"},
}};

}  // namespace pelmora::testing
