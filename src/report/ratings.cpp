// Bradley–Terry ratings with a first-mover term by Newton's method on the log-likelihood.
#include "report/ratings.h"

#include <algorithm>
#include <cmath>

namespace momiru::report {
namespace {

constexpr double kZ95 = 1.959963984540054;

// A symmetric positive definite matrix, stored whole, row by row.
struct Matrix {
  std::size_t n;
  std::vector<double> a;
  explicit Matrix(std::size_t size) : n(size), a(size * size, 0.0) {}
  double& at(std::size_t r, std::size_t c) { return a[r * n + c]; }
  double at(std::size_t r, std::size_t c) const { return a[r * n + c]; }
};

// Cholesky factor L (lower) of m in place; false when m is not positive definite.
bool cholesky(Matrix& m) {
  for (std::size_t j = 0; j < m.n; ++j) {
    double d = m.at(j, j);
    for (std::size_t k = 0; k < j; ++k) d -= m.at(j, k) * m.at(j, k);
    if (!(d > 0)) return false;
    d = std::sqrt(d);
    m.at(j, j) = d;
    for (std::size_t i = j + 1; i < m.n; ++i) {
      double s = m.at(i, j);
      for (std::size_t k = 0; k < j; ++k) s -= m.at(i, k) * m.at(j, k);
      m.at(i, j) = s / d;
    }
  }
  return true;
}

// Solves L Lᵀ x = b with the factor from cholesky().
std::vector<double> solve(const Matrix& l, std::vector<double> b) {
  const std::size_t n = l.n;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t k = 0; k < i; ++k) b[i] -= l.at(i, k) * b[k];
    b[i] /= l.at(i, i);
  }
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t k = i + 1; k < n; ++k) b[i] -= l.at(k, i) * b[k];
    b[i] /= l.at(i, i);
  }
  return b;
}

double logSigmoid(double x) {
  return x >= 0 ? -std::log1p(std::exp(-x)) : x - std::log1p(std::exp(x));
}

// The data of one ordered pairing as the model sees it: player 2's score and the battles counted.
struct Game {
  std::size_t first;   // player 1
  std::size_t second;  // player 2
  double score;        // player 2's wins plus half the draws, with the virtual draw
  double count;
};

class Model {
 public:
  Model(std::size_t n, const std::vector<PairingResult>& results) : n_(n) {
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = 0; j < n; ++j) {
        if (i == j) continue;
        const PairingResult& r = results[i * n + j];
        games_.push_back(
            {i, j, static_cast<double>(r.player2Wins) + 0.5 * static_cast<double>(r.draws) + 0.5,
             static_cast<double>(r.finished()) + 1.0});
      }
    }
  }

  // Parameters: ratings of characters 0 .. n-2 (the last one is held at 0), then the first-mover
  // term.
  std::size_t dimension() const { return n_; }
  double rating(const std::vector<double>& p, std::size_t c) const {
    return c + 1 == n_ ? 0.0 : p[c];
  }
  double& firstMover(std::vector<double>& p) const { return p[n_ - 1]; }
  double firstMover(const std::vector<double>& p) const { return p[n_ - 1]; }

  double logLikelihood(const std::vector<double>& p) const {
    double sum = 0;
    for (const Game& g : games_) {
      const double d = difference(p, g);
      sum += g.score * logSigmoid(d) + (g.count - g.score) * logSigmoid(-d);
    }
    return sum;
  }

  // The gradient and the information matrix (minus the Hessian) at p.
  void derivatives(const std::vector<double>& p, std::vector<double>& gradient,
                   Matrix& information) const {
    std::fill(gradient.begin(), gradient.end(), 0.0);
    std::fill(information.a.begin(), information.a.end(), 0.0);
    for (const Game& g : games_) {
      const double d = difference(p, g);
      const double prob = 1.0 / (1.0 + std::exp(-d));
      const double residual = g.score - g.count * prob;
      const double weight = g.count * prob * (1.0 - prob);
      // d = r(second) - r(first) + f: coefficients +1, -1, +1 on the free parameters.
      std::size_t index[3];
      double sign[3];
      int k = 0;
      if (g.second + 1 != n_) index[k] = g.second, sign[k++] = 1.0;
      if (g.first + 1 != n_) index[k] = g.first, sign[k++] = -1.0;
      index[k] = n_ - 1, sign[k++] = 1.0;
      for (int a = 0; a < k; ++a) {
        gradient[index[a]] += sign[a] * residual;
        for (int b = 0; b < k; ++b)
          information.at(index[a], index[b]) += weight * sign[a] * sign[b];
      }
    }
  }

 private:
  double difference(const std::vector<double>& p, const Game& g) const {
    return rating(p, g.second) - rating(p, g.first) + firstMover(p);
  }

  std::size_t n_;
  std::vector<Game> games_;
};

}  // namespace

RatingFit fitRatings(std::size_t n, const std::vector<PairingResult>& results) {
  RatingFit fit;
  fit.rating.assign(n, kMeanRating);
  fit.low.assign(n, kMeanRating);
  fit.high.assign(n, kMeanRating);
  if (n < 2 || results.size() < n * n) {
    fit.converged = n < 2;
    return fit;
  }
  const Model model(n, results);
  const std::size_t dim = model.dimension();
  std::vector<double> p(dim, 0.0);
  std::vector<double> gradient(dim);
  Matrix information(dim);
  double current = model.logLikelihood(p);
  // The log-likelihood is concave and, with the virtual draws, strictly so: Newton's method with
  // step halving converges from anywhere.
  for (fit.iterations = 1; fit.iterations <= 200; ++fit.iterations) {
    model.derivatives(p, gradient, information);
    if (!cholesky(information)) break;
    const std::vector<double> step = solve(information, gradient);
    double scale = 1.0;
    std::vector<double> trial(dim);
    double next = current;
    for (int halving = 0; halving < 60; ++halving, scale *= 0.5) {
      for (std::size_t k = 0; k < dim; ++k) trial[k] = p[k] + scale * step[k];
      next = model.logLikelihood(trial);
      if (next >= current) break;
    }
    if (next < current) break;  // no step improves: at the maximum within rounding
    p = trial;
    current = next;
    double largest = 0;
    for (const double s : step) largest = std::max(largest, std::abs(scale * s));
    if (largest < 1e-10) {
      fit.converged = true;
      break;
    }
  }
  if (!fit.converged) {
    // Rounding can stop the last halving short of the tolerance; the gradient tells.
    model.derivatives(p, gradient, information);
    double largest = 0;
    for (const double g : gradient) largest = std::max(largest, std::abs(g));
    fit.converged = largest < 1e-6;
  } else {
    model.derivatives(p, gradient, information);
  }

  // Covariance of the parameters: the inverse of the information, column by column.
  Matrix factor = information;
  Matrix covariance(dim);
  const bool invertible = cholesky(factor);
  if (invertible) {
    for (std::size_t c = 0; c < dim; ++c) {
      std::vector<double> unit(dim, 0.0);
      unit[c] = 1.0;
      const std::vector<double> column = solve(factor, unit);
      for (std::size_t r = 0; r < dim; ++r) covariance.at(r, c) = column[r];
    }
  }
  // Ratings centred on their mean: r'_i = r_i - mean(r), with the last rating fixed at 0 (its
  // row and column of the covariance are zero).
  const std::size_t free = n - 1;
  std::vector<double> rowMean(n, 0.0);
  double allMean = 0;
  for (std::size_t i = 0; i < free; ++i) {
    for (std::size_t k = 0; k < free; ++k) rowMean[i] += covariance.at(i, k);
    rowMean[i] /= static_cast<double>(n);
    allMean += rowMean[i];
  }
  allMean /= static_cast<double>(n);
  double mean = 0;
  for (std::size_t i = 0; i < n; ++i) mean += model.rating(p, i);
  mean /= static_cast<double>(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double own = i < free ? covariance.at(i, i) : 0.0;
    const double variance = std::max(0.0, own - 2.0 * rowMean[i] + allMean);
    const double half = invertible ? kZ95 * std::sqrt(variance) : NAN;
    const double centred = model.rating(p, i) - mean;
    fit.rating[i] = kMeanRating + kEloPerLogOdds * centred;
    fit.low[i] = kMeanRating + kEloPerLogOdds * (centred - half);
    fit.high[i] = kMeanRating + kEloPerLogOdds * (centred + half);
  }
  const double f = model.firstMover(p);
  const double fHalf = invertible ? kZ95 * std::sqrt(covariance.at(dim - 1, dim - 1)) : NAN;
  fit.firstMover = kEloPerLogOdds * f;
  fit.firstMoverLow = kEloPerLogOdds * (f - fHalf);
  fit.firstMoverHigh = kEloPerLogOdds * (f + fHalf);
  return fit;
}

}  // namespace momiru::report
