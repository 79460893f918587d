// Tables of parameterised tests with named rows: the test of a row is named by the row's `name`,
// each run of other characters than letters and digits written as one '_', so that one row runs
// alone (--gtest_filter='Table/Suite.Test/row_name') and a failure names its row.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace testcommon {

struct RowName {
    template <class Row>
    std::string operator()(const testing::TestParamInfo<Row>& info) const {
        std::string name;
        for (const char c : std::string(info.param.name)) {
            if (std::isalnum(static_cast<unsigned char>(c))) name += c;
            else if (!name.empty() && name.back() != '_') name += '_';
        }
        while (!name.empty() && name.back() == '_') name.pop_back();
        return name;
    }
};

}  // namespace testcommon
