#include "qorncore/svm/SvmModel.h"

#include <libsvm/svm.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <mutex>
#include <utility>

namespace qorn {

static_assert(sizeof(SvmNode) == sizeof(svm_node), "SvmNode must have svm_node's layout");
static_assert(offsetof(SvmNode, index) == offsetof(svm_node, index), "SvmNode layout");
static_assert(offsetof(SvmNode, value) == offsetof(svm_node, value), "SvmNode layout");

namespace {

void discardLibsvmOutput(const char*) {}

// libsvm prints training progress through one library-wide hook; it is set here once.
void silenceLibsvm() {
  static std::once_flag once;
  std::call_once(once, [] { svm_set_print_string_function(&discardLibsvmOutput); });
}

const svm_node* asLibsvm(const SvmNode* x) {
  return reinterpret_cast<const svm_node*>(x);
}

}  // namespace

// A two-class RBF model laid out for prediction: support vectors as dense rows.
struct SvmModel::Dense {
  std::size_t dims = 0;        // largest feature index
  std::vector<double> rows;    // support vector i at [i * dims, (i + 1) * dims)
  std::vector<double> coef;    // its coefficient
  double rho = 0, gamma = 0, probA = 0, probB = 0;
  mutable std::vector<double> x;  // the input, made dense (single-threaded per model)
};

struct SvmModel::Training {
  std::vector<std::vector<SvmNode>> rows;
  std::vector<svm_node*> rowPointers;
  std::vector<double> labels;
};

SvmModel::SvmModel(svm_model* model, std::unique_ptr<Training> training)
    : model_(model), training_(std::move(training)) {
  prepareDense();
}

void SvmModel::prepareDense() {
  dense_.reset();
  const svm_model* m = model_;
  if (m == nullptr || m->nr_class != 2 || m->param.kernel_type != RBF || m->probA == nullptr ||
      m->probB == nullptr || (m->param.svm_type != C_SVC && m->param.svm_type != NU_SVC))
    return;
  auto d = std::make_unique<Dense>();
  for (int i = 0; i < m->l; ++i)
    for (const svm_node* n = m->SV[i]; n->index != -1; ++n)
      d->dims = std::max<std::size_t>(d->dims, n->index > 0 ? static_cast<std::size_t>(n->index) : 0);
  d->rows.assign(static_cast<std::size_t>(m->l) * d->dims, 0.0);
  for (int i = 0; i < m->l; ++i) {
    for (const svm_node* n = m->SV[i]; n->index != -1; ++n)
      if (n->index > 0) d->rows[static_cast<std::size_t>(i) * d->dims + static_cast<std::size_t>(n->index - 1)] = n->value;
    d->coef.push_back(m->sv_coef[0][i]);
  }
  d->rho = m->rho[0];
  d->gamma = m->param.gamma;
  d->probA = m->probA[0];
  d->probB = m->probB[0];
  d->x.assign(d->dims, 0.0);
  dense_ = std::move(d);
}

SvmModel::SvmModel() = default;
SvmModel::~SvmModel() { reset(); }

SvmModel::SvmModel(SvmModel&& other) noexcept
    : model_(std::exchange(other.model_, nullptr)),
      training_(std::move(other.training_)),
      dense_(std::move(other.dense_)) {}

SvmModel& SvmModel::operator=(SvmModel&& other) noexcept {
  if (this != &other) {
    reset();
    model_ = std::exchange(other.model_, nullptr);
    training_ = std::move(other.training_);
    dense_ = std::move(other.dense_);
  }
  return *this;
}

void SvmModel::reset() noexcept {
  if (model_ != nullptr) svm_free_and_destroy_model(&model_);
  model_ = nullptr;
  training_.reset();
  dense_.reset();
}

SvmModel SvmModel::load(const std::string& path) {
  silenceLibsvm();
  return SvmModel(svm_load_model(path.c_str()), nullptr);
}

SvmModel SvmModel::train(const std::vector<std::vector<SvmNode>>& rows,
                         const std::vector<double>& labels, const SvmTrainParams& params,
                         std::string* error) {
  silenceLibsvm();
  if (rows.empty() || rows.size() != labels.size()) {
    if (error) *error = "no rows, or not one label per row";
    return SvmModel();
  }
  auto training = std::make_unique<Training>();
  training->rows = rows;
  training->labels = labels;
  std::size_t features = 0;
  for (auto& row : training->rows) {
    if (row.empty() || row.back().index != -1) row.push_back({-1, 0.0});
    for (const SvmNode& n : row) features = std::max<std::size_t>(features, n.index > 0 ? n.index : 0);
    training->rowPointers.push_back(reinterpret_cast<svm_node*>(row.data()));
  }
  svm_problem problem{};
  problem.l = static_cast<int>(training->rows.size());
  problem.y = training->labels.data();
  problem.x = training->rowPointers.data();

  svm_parameter p{};
  p.svm_type = static_cast<int>(params.type);
  p.kernel_type = RBF;
  p.gamma = params.gamma > 0 ? params.gamma : 1.0 / static_cast<double>(features ? features : 1);
  p.C = params.c;
  p.nu = 0.5;
  p.cache_size = params.cacheMb;
  p.eps = params.eps;
  p.p = 0.1;
  p.shrinking = 1;
  p.probability = params.probability ? 1 : 0;
  if (const char* why = svm_check_parameter(&problem, &p)) {
    if (error) *error = why;
    return SvmModel();
  }
  svm_model* model = svm_train(&problem, &p);
  return SvmModel(model, std::move(training));
}

bool SvmModel::save(const std::string& path) const {
  return model_ != nullptr && svm_save_model(path.c_str(), model_) == 0;
}

int SvmModel::classCount() const { return model_ ? svm_get_nr_class(model_) : 0; }

std::vector<int> SvmModel::labels() const {
  std::vector<int> out(static_cast<std::size_t>(classCount()));
  // libsvm keeps labels for classification models only.
  if (!out.empty() && model_->label != nullptr) svm_get_labels(model_, out.data());
  return out;
}

SvmType SvmModel::type() const {
  return static_cast<SvmType>(model_ ? svm_get_svm_type(model_) : 0);
}

int SvmModel::supportVectorCount() const { return model_ ? svm_get_nr_sv(model_) : 0; }

bool SvmModel::hasProbability() const {
  return model_ != nullptr && svm_check_probability_model(model_) != 0;
}

double SvmModel::svrProbability() const {
  if (model_ == nullptr) return 0.0;
  const SvmType t = type();
  if (t != SvmType::EpsilonSvr && t != SvmType::NuSvr) return 0.0;
  return hasProbability() ? svm_get_svr_probability(model_) : 0.0;
}

double SvmModel::predict(const SvmNode* x) const {
  return model_ ? svm_predict(model_, asLibsvm(x)) : 0.0;
}

double SvmModel::predictProbability(const SvmNode* x, double* estimates) const {
  return model_ ? svm_predict_probability(model_, asLibsvm(x), estimates) : 0.0;
}

double SvmModel::decisionValues(const SvmNode* x, double* values) const {
  return model_ ? svm_predict_values(model_, asLibsvm(x), values) : 0.0;
}

}  // namespace qorn

namespace qorn {

double SvmModel::firstClassProbability(const SvmNode* x) const {
  if (!dense_) {
    double estimates[2] = {0.0, 0.0};
    if (model_ == nullptr || classCount() != 2) return 0.0;
    predictProbability(x, estimates);
    return estimates[0];
  }
  const Dense& d = *dense_;
  std::fill(d.x.begin(), d.x.end(), 0.0);
  for (const SvmNode* n = x; n->index != -1; ++n)
    if (n->index > 0 && static_cast<std::size_t>(n->index) <= d.dims) d.x[static_cast<std::size_t>(n->index - 1)] = n->value;
  // Inputs past the support vectors' last index add their squares to every distance.
  double beyond = 0.0;
  for (const SvmNode* n = x; n->index != -1; ++n)
    if (n->index > 0 && static_cast<std::size_t>(n->index) > d.dims) beyond += n->value * n->value;
  const double* xs = d.x.data();
  double sum = 0.0;
  const std::size_t count = d.coef.size();
  for (std::size_t i = 0; i < count; ++i) {
    const double* sv = d.rows.data() + i * d.dims;
    // Four partial sums: the compiler vectorises them; the result moves by rounding only.
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    std::size_t k = 0;
    for (; k + 4 <= d.dims; k += 4) {
      const double t0 = xs[k] - sv[k], t1 = xs[k + 1] - sv[k + 1];
      const double t2 = xs[k + 2] - sv[k + 2], t3 = xs[k + 3] - sv[k + 3];
      s0 += t0 * t0;
      s1 += t1 * t1;
      s2 += t2 * t2;
      s3 += t3 * t3;
    }
    for (; k < d.dims; ++k) {
      const double t = xs[k] - sv[k];
      s0 += t * t;
    }
    const double distance = (s0 + s1) + (s2 + s3) + beyond;
    sum += d.coef[i] * std::exp(-d.gamma * distance);
  }
  const double decision = sum - d.rho;
  // libsvm's sigmoid, in its numerically safe form, and its clamp of pairwise probabilities.
  const double fApB = decision * d.probA + d.probB;
  const double p = fApB >= 0 ? std::exp(-fApB) / (1.0 + std::exp(-fApB)) : 1.0 / (1.0 + std::exp(fApB));
  constexpr double kMinProbability = 1e-7;
  return std::min(std::max(p, kMinProbability), 1.0 - kMinProbability);
}

}  // namespace qorn
