#include "ModelTestSupport.h"
#include "model/XMLModel.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace Ostrel {
namespace {

// One step of two models sharing the process's node pool: `nodes` > 0 adds that many elements
// to the model, 0 clears it, -1 destroys it and makes a new one.
struct Step {
    int model;
    int nodes;
};

class TwoModels {
public:
    void Apply(const Step& step) {
        std::unique_ptr<XMLModel>& model = models[step.model];
        if (step.nodes == -1) {
            model = std::make_unique<XMLModel>();
            counts[step.model] = 0;
        } else if (step.nodes == 0) {
            model->Clear();
            counts[step.model] = 0;
        } else {
            Grow(step.model, step.nodes);
        }
    }

    // Every element is still where it was put, with its own name.
    void Check() const {
        for (int m = 0; m < 2; ++m) {
            const std::vector<std::string> names = DocumentOrder(models[m]->Root());
            ASSERT_EQ(names.size(), static_cast<size_t>(counts[m]));
            for (int i = 0; i < counts[m]; ++i) {
                ASSERT_EQ(names[static_cast<size_t>(i)], Name(m, i));
            }
        }
    }

private:
    static std::string Name(int model, int index) {
        return "m" + std::to_string(model) + "n" + std::to_string(index);
    }

    // Adds elements in document order: every eighth one a child of the one before.
    void Grow(int model, int nodes) {
        XMLNode* parent = &models[model]->Root();
        for (int i = 0; i < nodes; ++i) {
            const int index = counts[model]++;
            XMLNode* element = parent->CreateChild(Text(Name(model, index).c_str()));
            element->SetText(Text("t"));
            parent = index % 8 == 7 ? element : &models[model]->Root();
        }
    }

    std::unique_ptr<XMLModel> models[2] = {std::make_unique<XMLModel>(),
                                           std::make_unique<XMLModel>()};
    int counts[2] = {0, 0};
};

TEST(NodePool, TwoModelsBuildAndClearInTurn) {
    const std::vector<std::vector<Step>> scenarios = {
        // The second model's chunk is both the current chunk and the one with free records
        // when the second model clears; the pool must not hand out records of it afterwards.
        {{0, 1000}, {1, 10}, {1, 0}, {1, 10}, {0, 0}, {1, 2500}, {1, 0}},
        {{0, 2500}, {1, 700}, {0, 0}, {0, 300}, {1, 0}, {1, 1000}, {0, -1}, {1, 0}, {1, 3}},
    };
    for (size_t s = 0; s < scenarios.size(); ++s) {
        TwoModels models;
        for (size_t i = 0; i < scenarios[s].size(); ++i) {
            SCOPED_TRACE("scenario " + std::to_string(s) + ", step " + std::to_string(i));
            models.Apply(scenarios[s][i]);
            models.Check();
        }
    }
}

} // namespace
} // namespace Ostrel
