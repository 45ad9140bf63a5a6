#include "ReportFixture.h"

#include "quillon/viewer/CustomerLabel.h"

#include <fstream>

namespace viewer = qln::viewer;

namespace {

class CustomerLabel : public qln::test::ReportFixture {
protected:
    std::vector<std::pair<int, std::string>> reports;
    viewer::Messages messages()
    {
        viewer::Messages sink;
        sink.report = [this](int type, const std::string& procedure, const std::string& text) {
            reports.emplace_back(type, procedure + ": " + text);
        };
        return sink;
    }
    std::string label(const viewer::CustomerAddress& address)
    {
        qln::word::Document document(templates() / "QLNTemplate.dotx");
        viewer::PopulateCustomerLabel(document.selection(), address, messages());
        return document.selection().text();
    }
};

TEST_F(CustomerLabel, ACustomerContactIsCaptured)
{
    writeContact();
    viewer::CustomerAddress address;
    EXPECT_TRUE(viewer::CheckOutlookCustomer(address, messages()));
    EXPECT_TRUE(address.captured);
    EXPECT_EQ(address.companyName, "Hill Farm");
    EXPECT_EQ(address.fileAs, "Smith, Jo");
    EXPECT_EQ(address.city, "Ames");
    EXPECT_EQ(label(address), "Hill Farm\nAmes, IA 50010\n\n");
    EXPECT_TRUE(reports.empty());
}

TEST_F(CustomerLabel, OtherClassesIdentifiersOfOtherLengthsAndNoFileCaptureNothing)
{
    viewer::CustomerAddress address;
    for (const auto& [messageClass, identifier] : std::vector<std::pair<std::string, std::string>>{
             {"IPM.Contact", "123456789012"},
             {"IPM.Contact.Ambrel Customer", "12345678901"},
             {"IPM.Contact.Ambrel Customer", "1234567890123"}}) {
        writeContact(messageClass, identifier);
        EXPECT_TRUE(viewer::CheckOutlookCustomer(address, messages()));
        EXPECT_FALSE(address.captured) << messageClass << " " << identifier;
        EXPECT_EQ(address.city, "");
    }
    ::setenv("QUILLON_CONTACT_FILE", (temp / "absent.vcf").c_str(), 1);
    EXPECT_TRUE(viewer::CheckOutlookCustomer(address, messages()));
    EXPECT_FALSE(address.captured);
    EXPECT_TRUE(reports.empty());
    // A file that is no contact is reported, and still captures nothing.
    std::ofstream(temp / "absent.vcf") << "garbage";
    EXPECT_TRUE(viewer::CheckOutlookCustomer(address, messages()));
    EXPECT_FALSE(address.captured);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].second.rfind("CheckOutlookCustomer: ", 0), 0u);
}

TEST_F(CustomerLabel, LabelLinesUseTheFileAsNameAndTheStreetWhenPresent)
{
    viewer::CustomerAddress address{" Smith, Jo ", "  ", " 4 Oak Rd ", "Ames", "IA", "50010", true};
    EXPECT_EQ(label(address), "Smith, Jo\n4 Oak Rd\nAmes, IA 50010\n\n");
}

TEST_F(CustomerLabel, MissingAddressPartsGiveNoLabelAndAnInformationMessage)
{
    viewer::CustomerAddress address{"Smith, Jo", "Hill Farm", "", "Ames", "IA", "   ", true};
    EXPECT_EQ(label(address), "");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].first, viewer::gmrINFO);
    EXPECT_EQ(reports[0].second,
              "PopulateCustomerLabel: Not enough address information provided in Contact or no Contact active.");
    EXPECT_EQ(label(viewer::CustomerAddress{"", "", "", "Ames", "IA", "50010", true}), "");
}

} // namespace
