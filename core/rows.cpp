#include "core/rows.h"

#include "engine/engine.h"

namespace pelmora {

using enum ResultKind;

const std::array<RowInfo, kRowCount> kRows = {{
    {"Beta", "a", "b", nullptr, "/beta.jpg", Real},
    {"Bernoulli", "p", nullptr, nullptr, "/bernoulli.jpg", Integer},
    {"Bernoulli-Gauss", "p", "mean", "sigma", "/bernoulligauss.jpg", Real},
    {"Binomial", "n", "p", nullptr, "/binonial.jpg", Integer},
    {"Cauchy", "afa", "beta", nullptr, "/cauchy.jpg", Real},
    {"Chi-square", "n", nullptr, nullptr, "/chisquare.jpg", Real},
    {"Continuous Uniform", "a", "b", nullptr, "/continousuniform.jpg", Real},
    {"Discrete Uniform", "n", nullptr, nullptr, "/discreteuniform.jpg", Integer},
    {"Erlang", "m", "beta", nullptr, "/erlang.jpg", Real},
    {"Exponential", "lambda", nullptr, nullptr, "/exp.jpg", Real},
    {"F", "d1", "d2", nullptr, "/f.jpg", Real},
    {"Gamma", "afa", "beta", nullptr, "/gamma.jpg", Real},
    {"Gauss Normal", "mean", "sigma", nullptr, "/gauss.jpg", Real},
    {"Geometric", "p", nullptr, nullptr, "/geometric.jpg", Integer},
    {"Laplace", "beta", nullptr, nullptr, "/laplace.jpg", Real},
    {"Log Normal", "mean", "sigma", nullptr, "/lognormal.jpg", Real},
    {"Logistic", nullptr, nullptr, nullptr, "/logistic.jpg", Real},
    {"Poisson", "lambda", nullptr, nullptr, "/poisson.jpg", Integer},
    {"Rayleigh", "sigma", nullptr, nullptr, "/rayleigh.jpg", Real},
    {"Standard Normal", nullptr, nullptr, nullptr, "/standnormal.jpg", Real},
    {"Student's T ", "n", nullptr, nullptr, "/t.jpg", Real},
    {"Triangle", "a", "b", "m (a<m<b)", "/triangle.jpg", Real},
    {"Negative Binomial", "r", "p (0<p<1)", nullptr, "/negbin.jpg", Integer},
    {"Noncentral Chi-square", "n", "delta", nullptr, "/noncenchisquare.jpg", Real},
    {"Noncentral F", "d1", "d2", "delta", "/noncenf.jpg", Real},
    {"Noncentral T", "n", "delta", nullptr, "/noncent.jpg", Real},
    {"Weibull", "afa", "beta", nullptr, "/weibull.jpg", Real},
}};

double DrawRow(int row, double p1, double p2, double p3) {
    switch (row) {
        case 0: return DrawBeta(p1, p2);
        case 1: return DrawBernoulli(p1);
        case 2: return DrawBernoulliGauss(p1, p2, p3);
        case 3: return DrawBinomial(TruncToInt(p1), p2);
        case 4: return DrawCauchy(p1, p2);
        case 5: return DrawChiSquare(TruncToInt(p1));
        case 6: return DrawUniform(p1, p2);
        case 7: return DrawDiscreteUniform(TruncToInt(p1));
        case 8: return DrawErlang(TruncToInt(p1), p2);
        case 9: return DrawExponential(p1);
        case 10: return DrawF(p1, p2);
        case 11: return DrawGamma(p1, p2);
        case 12: return DrawGaussNormal(p1, p2);
        case 13: return DrawGeometric(p1);
        case 14: return DrawLaplace(p1);
        case 15: return DrawLogNormal(p1, p2);
        case 16: return DrawLogistic();
        case 17: return DrawPoisson(p1);
        case 18: return DrawRayleigh(p1);
        case 19: return DrawStandardNormal();
        case 20: return DrawStudentT(TruncToInt(p1));
        case 21: return DrawTriangle(p1, p2, p3);
        case 22: return DrawNegativeBinomial(TruncToInt(p1), p2);
        case 23: return DrawNoncentralChiSquare(TruncToInt(p1), p2);
        case 24: {
            int32_t d1 = TruncToInt(p1);
            int32_t d2 = TruncToInt(p2);
            return DrawNoncentralF(d1, d2, p3);
        }
        case 25: return DrawNoncentralT(TruncToInt(p1), p2);
        case 26: return DrawWeibull(p1, p2);
        default: return 0.0;
    }
}

}  // namespace pelmora
