#include "qorncore/svm/SvmModel.h"

#include <libsvm/svm.h>

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

struct SvmModel::Training {
  std::vector<std::vector<SvmNode>> rows;
  std::vector<svm_node*> rowPointers;
  std::vector<double> labels;
};

SvmModel::SvmModel(svm_model* model, std::unique_ptr<Training> training)
    : model_(model), training_(std::move(training)) {}

SvmModel::SvmModel() = default;
SvmModel::~SvmModel() { reset(); }

SvmModel::SvmModel(SvmModel&& other) noexcept
    : model_(std::exchange(other.model_, nullptr)), training_(std::move(other.training_)) {}

SvmModel& SvmModel::operator=(SvmModel&& other) noexcept {
  if (this != &other) {
    reset();
    model_ = std::exchange(other.model_, nullptr);
    training_ = std::move(other.training_);
  }
  return *this;
}

void SvmModel::reset() noexcept {
  if (model_ != nullptr) svm_free_and_destroy_model(&model_);
  model_ = nullptr;
  training_.reset();
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
