// The component base: ownership and published properties set by name from text.
#include "runtime/component.h"
#include "support/test_support.h"

using namespace tarnwick;

namespace {

enum class Mode { mSlow, mFast };
constexpr std::pair<Mode, const char*> kModeNames[] = {{Mode::mSlow, "mSlow"}, {Mode::mFast, "mFast"}};

int destroyed = 0;

class TSample : public TComponent {
public:
    using TComponent::TComponent;
    ~TSample() override { ++destroyed; }

    std::vector<std::string> setOrder;
    bool flag = true;
    Mode mode = Mode::mSlow;
    std::string text;

    std::vector<TPropertyInfo> PublishedProperties() override
    {
        auto props = TComponent::PublishedProperties();
        props.push_back({"Flag", "Boolean", "True",
                         [this](const std::string& t) { flag = ParseBooleanText(t); setOrder.push_back("Flag"); },
                         [this] { return BooleanText(flag); }});
        props.push_back({"Mode", "TMode", "mSlow",
                         [this](const std::string& t) { mode = ParseEnumText(t, kModeNames); setOrder.push_back("Mode"); },
                         [this] { return EnumText(mode, kModeNames); }});
        props.push_back({"Text", "string", "",
                         [this](const std::string& t) { text = t; setOrder.push_back("Text"); },
                         [this] { return text; }});
        return props;
    }
};

}  // namespace

TEST(Component, OwnerFreesWhatItOwns)
{
    destroyed = 0;
    {
        TSample owner(nullptr);
        auto* a = new TSample(&owner);  // owned by owner, freed with it
        a->SetName("A");
        auto* b = new TSample(&owner);
        b->SetName("B");
        new TSample(a);  // owned by a
        EXPECT_EQ(owner.ComponentCount(), 2);
        EXPECT_EQ(owner.FindComponent("B"), b);
        delete b;  // leaves its owner's list
        EXPECT_EQ(owner.ComponentCount(), 1);
        EXPECT_EQ(destroyed, 1);
    }
    EXPECT_EQ(destroyed, 4);
}

TEST(Component, ResourceSetsPropertiesByNameInPublishedOrder)
{
    TSample c(nullptr);
    ApplyResource(c, ParseResourceText("Text = 'it''s 2.0'\nMode = mFast\n// comment\nFlag = False\nName = OrvZip1\n"));
    EXPECT_EQ(c.setOrder, (std::vector<std::string>{"Flag", "Mode", "Text"}));
    EXPECT_FALSE(c.flag);
    EXPECT_EQ(c.mode, Mode::mFast);
    EXPECT_EQ(c.text, "it's 2.0");
    EXPECT_EQ(c.Name(), "OrvZip1");
    EXPECT_EQ(c.GetPropertyText("Mode"), "mFast");
    EXPECT_EQ(c.GetPropertyText("Flag"), "False");
}

TEST(Component, UnknownNamesAndBadValuesRaise)
{
    TSample c(nullptr);
    EXPECT_THROW_MSG(ApplyResource(c, {{"Flag", "False"}, {"Colour", "red"}}), EPropertyError,
                     "Propriété Colour inexistante");
    EXPECT_TRUE(c.flag);  // nothing was set
    EXPECT_THROW(c.SetPropertyText("Flag", "maybe"), EPropertyError);
    EXPECT_THROW(c.SetPropertyText("Mode", "mMedium"), EPropertyError);
    EXPECT_THROW(c.SetPropertyText("Tag", "12x"), EPropertyError);
    c.SetPropertyText("Tag", "-12");
    EXPECT_EQ(c.Tag(), -12);
    EXPECT_THROW(ParseResourceText("no equals sign"), EPropertyError);
}
