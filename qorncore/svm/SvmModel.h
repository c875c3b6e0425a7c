// SvmModel: the one owner of a libsvm model (svm_model), and the only code that includes
// libsvm's header. Link inference loads its models through it; the training tool builds and
// saves them through it.
//
// Move-only: a moved-from or failed model is empty (loaded() false) and answers nothing.
// A model trained here keeps its training rows inside it, because libsvm's trained model
// points into them. libsvm's own progress printing is silenced once, in this file, the first
// time a model is loaded or trained (it would otherwise write training chatter to standard
// output). Single-threaded per object. Nothing here throws except std::bad_alloc; failures
// are empty models and false results.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct svm_model;

namespace qorn {

// One entry of a sparse input vector; the layout of libsvm's svm_node (checked where the
// header is included). A vector ends with an entry of index -1.
struct SvmNode {
  int index;
  double value;
};

// libsvm's model kinds, with libsvm's numbers.
enum class SvmType : int { CSvc = 0, NuSvc = 1, OneClass = 2, EpsilonSvr = 3, NuSvr = 4 };

// The training parameters the project uses: a classifier with an RBF kernel.
struct SvmTrainParams {
  SvmType type = SvmType::CSvc;
  double c = 1.0;
  double gamma = 0.0;  // 0: 1 / number of features
  bool probability = true;
  double cacheMb = 100.0;
  double eps = 1e-3;
};

class SvmModel {
 public:
  SvmModel();
  ~SvmModel();
  SvmModel(SvmModel&& other) noexcept;
  SvmModel& operator=(SvmModel&& other) noexcept;
  SvmModel(const SvmModel&) = delete;
  SvmModel& operator=(const SvmModel&) = delete;

  // The model in a libsvm model file; empty when the file cannot be read as one.
  static SvmModel load(const std::string& path);
  // Trains on `rows` (each ending with index -1) with `labels`; empty when libsvm refuses
  // the parameters (the reason goes to `error` when given). libsvm draws its probability
  // folds from C rand(): seed it first for a reproducible model.
  static SvmModel train(const std::vector<std::vector<SvmNode>>& rows,
                        const std::vector<double>& labels, const SvmTrainParams& params,
                        std::string* error = nullptr);
  // Writes the model file; false when it cannot be written (or the model is empty).
  bool save(const std::string& path) const;

  bool loaded() const { return model_ != nullptr; }
  int classCount() const;
  std::vector<int> labels() const;
  SvmType type() const;
  int supportVectorCount() const;
  bool hasProbability() const;
  // The sigma of a regression model's Laplace error model (0 without one).
  double svrProbability() const;

  // The predicted label (classification) or value (regression) of `x`.
  double predict(const SvmNode* x) const;
  // The same with the probability of each class, in label order, in `estimates`
  // (classCount() entries). Needs hasProbability().
  double predictProbability(const SvmNode* x, double* estimates) const;
  // The decision values of `x` (one per class pair); the predicted label is returned.
  double decisionValues(const SvmNode* x, double* values) const;
  // The probability of the first class, as predictProbability's first estimate (within
  // 1e-9). A two-class C-SVC or nu-SVC model with an RBF kernel and probability information
  // computes it over dense copies of its support vectors, several times faster than libsvm's
  // sparse kernel; any other model asks predictProbability.
  double firstClassProbability(const SvmNode* x) const;

 private:
  struct Training;
  struct Dense;
  SvmModel(svm_model* model, std::unique_ptr<Training> training);
  // Builds dense_ when the model qualifies for the dense path.
  void prepareDense();
  void reset() noexcept;

  svm_model* model_ = nullptr;
  std::unique_ptr<Training> training_;  // rows a trained model points into
  std::unique_ptr<Dense> dense_;        // the dense path's copy of the model, or null
};

}  // namespace qorn
