// The fixture of the panel services' tests: a panel host with its trace in
// memory, the plug-in's ten controls, and the control attributes read and
// written through the control records as the plug-in does.
#pragma once

#include "standin/PanelServices.h"

#include "MemoryFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

// Shift-JIS labels and items of the plug-in's panel.
const char kLoadLabel[] = "\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\x91\xce\x8f\xdb";
const char kColourLabel[] = "\x90\xdd\x92\xe8\x90\x46";
const char* const kLoadItems[] = {"\x90\xfc\x82\xcc\x82\xdd", "\x96\xca\x82\xcc\x82\xdd",
                                  "\x97\xbc\x95\xfb", nullptr};
const char* const kColourItems[] = {"\x96\xbe\x82\xe9\x82\xa2\x90\x46", "\x92\x86\x8a\xd4",
                                    "\x88\xc3\x82\xa2\x90\x46", nullptr};
const char* const kSummary[] = {"8 pts / 0/0 lines / 6 faces", nullptr};
const char* const kNote[] = {"line one", "a somewhat longer second line", nullptr};
const char* const kAbout[] = {"about", nullptr};

class PanelHostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(traceFile_.file, nullptr);
        trace_.out = traceFile_.file;
    }
    void TearDown() override { PanelHostRelease(host_); }
    void Start(const PanelBehaviour& settings = PanelBehaviour{}) {
        PanelHostInit(host_, settings, &trace_);
        services_ = &host_.services;
    }
    std::vector<std::string> TraceLines() {
        std::vector<std::string> lines;
        std::istringstream in(traceFile_.Text());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    std::string LastTrace() {
        std::vector<std::string> lines = TraceLines();
        return lines.empty() ? std::string() : lines.back();
    }

    PanelControl* Create(PanelHandle panel, const char* kind, int32_t code, const char* label,
                         const char* const* list = nullptr, int32_t fieldWidth = 0) {
        ControlDescription d{};
        d.kindCode = code;
        if (code == kKindEdit) {
            d.fieldWidth = fieldWidth;
        } else {
            d.lines = list;
        }
        return services_->createControl(panel, kind, &d, label);
    }

    // The ten controls the plug-in creates, without the plug-in's moves.
    std::vector<PanelControl*> BuildPluginPanel(PanelHandle panel) {
        std::vector<PanelControl*> c;
        c.push_back(Create(panel, "TextControl", kKindText, "", kSummary));
        c.push_back(Create(panel, "ChoiceControl", kKindChoice, kLoadLabel, kLoadItems));
        c.push_back(Create(panel, "ChoiceControl", kKindChoice, kColourLabel, kColourItems));
        c.push_back(Create(panel, "FloatControl", kKindFloat, "Scale"));
        c.push_back(Create(panel, "EditControl", kKindEdit, "Surface Name", nullptr, 16));
        c.push_back(Create(panel, "TextControl", kKindText, "", kNote));
        c.push_back(Create(panel, "BoolControl", kKindBool, "Smooth"));
        c.push_back(Create(panel, "FloatControl", kKindFloat, "Smoothing Angle"));
        c.push_back(Create(panel, "BoolControl", kKindBool, "Double Sided"));
        c.push_back(Create(panel, "TextControl", kKindText, "", kAbout));
        return c;
    }

    static int32_t GetInt(PanelControl* c, int32_t attribute) {
        ControlValue v{};
        v.type = kValueInt;
        c->getControlAttribute(c, attribute, &v);
        return v.intValue;
    }
    static void SetInt(PanelControl* c, int32_t attribute, int32_t value) {
        ControlValue v{};
        v.type = kValueInt;
        v.intValue = value;
        c->setControlAttribute(c, attribute, &v);
    }
    static double GetFloat(PanelControl* c) {
        ControlValue v{};
        v.type = kValueFloat;
        c->getControlAttribute(c, kAttrValue, &v);
        return v.floatValue;
    }
    static void SetFloat(PanelControl* c, double value) {
        ControlValue v{};
        v.type = kValueFloat;
        v.floatValue = value;
        c->setControlAttribute(c, kAttrValue, &v);
    }
    static void SetText(PanelControl* c, const char* text, int32_t length) {
        ControlValue v{};
        v.type = kValueText;
        v.text = const_cast<char*>(text);
        v.textLength = length;
        c->setControlAttribute(c, kAttrValue, &v);
    }
    static std::string GetText(PanelControl* c, int32_t capacity) {
        std::vector<char> buffer(static_cast<size_t>(capacity) + 1, '#');
        ControlValue v{};
        v.type = kValueText;
        v.text = buffer.data();
        v.textLength = capacity;
        c->getControlAttribute(c, kAttrValue, &v);
        EXPECT_EQ(buffer[static_cast<size_t>(capacity)], '#') << "written beyond the capacity";
        return std::string(buffer.data());
    }
    int32_t PanelAttr(PanelHandle panel, int32_t attribute) {
        int32_t v = -12345;
        services_->getPanelAttribute(panel, attribute, &v);
        return v;
    }

    PanelHost host_;
    PanelServices* services_ = nullptr;
    Trace trace_;
    MemoryFile traceFile_;
};
