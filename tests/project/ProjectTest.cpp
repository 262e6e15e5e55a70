#include <gtest/gtest.h>

#include "project/CProject.h"

TEST(Project, FreshDocumentHasDefaults)
{
    CProject project;
    EXPECT_EQ(project.m_nFlags, 0x1Fu);
    EXPECT_FALSE(project.m_bModified);
}
