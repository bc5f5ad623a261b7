#include "app/CMultiLangSupp.h"

#include "platform/SystemLanguage.h"

namespace vx::app {
namespace {

// Only the English column is ever shown, so the two Chinese columns are not carried.
// Rows 119 to 123 are unused and empty.
const char* const kEnglish[CMultiLangSupp::kRowCount] = {
    /* 0 */ "Veltrix Plus",
    /* 1 */ "Overclock",
    /* 2 */ "Initiate hardware failed!\n"
        "Please confirm NVidia driver has been installed correctly!",
    /* 3 */ "Add font failed!",
    /* 4 */ "Get initiate information failed!",
    /* 5 */ "GPU %d temperature is too high!!!\n",
    /* 6 */ "Hardware settings applied!",
    /* 7 */ "Overclocking apply failed!",
    /* 8 */ "Link",
    /* 9 */ "Link GPU clock and shader clock",
    /* 10 */ "Linked",
    /* 11 */ "Unlinked",
    /* 12 */ "Clock work mode",
    /* 13 */ "About",
    /* 14 */ "APPLY",
    /* 15 */ "Test",
    /* 16 */ "Min",
    /* 17 */ "Max",
    /* 18 */ "GPU Clock",
    /* 19 */ "Memory Clock",
    /* 20 */ "Shader Clock",
    /* 21 */ "Temperature",
    /* 22 */ "Fan Speed",
    /* 23 */ "GPU Voltage",
    /* 24 */ "Power",
    /* 25 */ "Memory Voltage",
    /* 26 */ "12v Voltage",
    /* 27 */ " 3.3v Voltage",
    /* 28 */ "Mode",
    /* 29 */ "Auto",
    /* 30 */ "Manual",
    /* 31 */ "Max",
    /* 32 */ "Normal",
    /* 33 */ "Silent",
    /* 34 */ "2D",
    /* 35 */ "3D",
    /* 36 */ "3D Low",
    /* 37 */ "3D PERF",
    /* 38 */ "Fan Speed Setting: ",
    /* 39 */ "Over Clock Setting: (MHz)",
    /* 40 */ "Temp. Setting: (c)",
    /* 41 */ "Fan Control Mode",
    /* 42 */ "Fan speed will be adjusted by the temperature automatically.",
    /* 43 */ "GPU",
    /* 44 */ "Shader",
    /* 45 */ "Mem.",
    /* 46 */ "Alarm Temperature",
    /* 47 */ "Max:",
    /* 48 */ "English",
    /* 49 */ "Chinese(Simplified)",
    /* 50 */ "Chinese(Traditional)",
    /* 51 */ "OK",
    /* 52 */ "Cancel",
    /* 53 */ "Sorry! Corvane 2.0.1.6HD does not support current OS!",
    /* 54 */ "Initiate application failed!",
    /* 55 */ "Initiate instance failed!",
    /* 56 */ "SLI is disabled!",
    /* 57 */ "Failed to get the web information!",
    /* 58 */ "In getting the web information...",
    /* 59 */ "Applying hardware settings canceled!",
    /* 60 */ "The changes may cause system unsteadily or hardware failure.\n"
        "Operator will take the consequences of the changes.\n"
        "Do you continue?",
    /* 61 */ "Corvane has been started by other user.",
    /* 62 */ "  RESET",
    /* 63 */ "Extension BIOS file name must be .ROM or .NVR!",
    /* 64 */ "BIOS of GPU %d Updated failed!",
    /* 65 */ "BIOS Updated of GPU %d successfully!",
    /* 66 */ "Update",
    /* 67 */ "Restore",
    /* 68 */ "During BIOS of GPU %d is updating, please do not close the Corvane!",
    /* 69 */ "Main window",
    /* 70 */ "Quit",
    /* 71 */ "Show at startup",
    /* 72 */ "Save hardware settings on exit",
    /* 73 */ "Help",
    /* 74 */ "Are you sure to restore the default hardware settings?",
    /* 75 */ "Settings",
    /* 76 */ "Initializing, please wait...",
    /* 77 */ "Initialize failed!\n"
        "Would you like to run Corvane at the next reboot?",
    /* 78 */ "Do not run",
    /* 79 */ "Run",
    /* 80 */ "Run and minimize",
    /* 81 */ "Run and minimize to system tray",
    /* 82 */ "Apply hardware settings and quit",
    /* 83 */ "Startup",
    /* 84 */ "About Dialog",
    /* 85 */ "Save Hardware Settings",
    /* 86 */ "Corvane BIOS",
    /* 87 */ "Driver&&BIOS Update",
    /* 88 */ "View",
    /* 89 */ "Tool Bar",
    /* 90 */ "Status Bar",
    /* 91 */ "Driver Update",
    /* 92 */ "BIOS Update",
    /* 93 */ "News",
    /* 94 */ "Please select GPU",
    /* 95 */ "Applying hardware settings  of GPU %d, please do not close the Corvane!",
    /* 96 */ "Get driver information failed!",
    /* 97 */ "Get BIOS information failed.",
    /* 98 */ "Get news failed!",
    /* 99 */ "Product Information",
    /* 100 */ "GPU ID",
    /* 101 */ "BIOS Version",
    /* 102 */ "News has been updated. \n"
        "Please check!",
    /* 103 */ "Current clock information",
    /* 104 */ "Work Mode",
    /* 105 */ "Driver Version",
    /* 106 */ "Curve Drawing",
    /* 107 */ "Enable",
    /* 108 */ "Sampling period",
    /* 109 */ "s",
    /* 110 */ "Display grid",
    /* 111 */ "The operation will set your graphic card running out of the range of the manufacturer setted, and may cause system unsteadily or hardware failure.\n"
        "Operator will take the consequences.\n"
        "Do you continue?",
    /* 112 */ "Auto Update",
    /* 113 */ "New version has been downloaded. Corvane will be auto updated after %ds.",
    /* 114 */ "Are you sure to flash '%s'?",
    /* 115 */ "Profile",
    /* 116 */ "SAVE      ",
    /* 117 */ "LOAD",
    /* 118 */ "System will shutdown in %d seconds!!!",
    /* 119 */ "",
    /* 120 */ "",
    /* 121 */ "",
    /* 122 */ "",
    /* 123 */ "",
    /* 124 */ "Change Password",
    /* 125 */ "Original password",
    /* 126 */ "New password",
    /* 127 */ "Confirm password",
    /* 128 */ "Input Password",
    /* 129 */ "Please input password:",
    /* 130 */ "Password error!",
    /* 131 */ "New password and confirmed password are different!",
    /* 132 */ "Current GPU Voltage",
    /* 133 */ "Power State",
    /* 134 */ "HDMI",
    /* 135 */ "Front Left",
    /* 136 */ "Front Right",
    /* 137 */ "Side Left",
    /* 138 */ "Side Right",
    /* 139 */ "Back Left",
    /* 140 */ "Back Right",
    /* 141 */ "Center",
    /* 142 */ "Subwoofer",
    /* 143 */ "Auto Select HDMI Device",
    /* 144 */ "Play",
    /* 145 */ "Sounds and Audio Devices Properties",
    /* 146 */ "Audio",
    /* 147 */ "OVER VOLTAGE (mv)",
    /* 148 */ "MEMORY VOLTAGE (V/mv)",
    /* 149 */ "GPU CLOCK (MHz)",
    /* 150 */ "SHADER CLOCK (MHz)",
    /* 151 */ "MEMORY CLOCK (MHz)",
    /* 152 */ "FAN SPEED (%)",
    /* 153 */ "Fan Speed (RPM)",
    /* 154 */ "GPU VOLTAGE (V/mv)",
    /* 155 */ "Set as system default audio device\n"
        "automatically",
    /* 156 */ "Turn the linkage between Core Clock Frequency and Shader Clock Frequency On or Off.\n"
        "Tips: When linkage is turned On, Core Clock Frequency and Shader Clock Frequency is adjusted together at a fixed rate. \n"
        "When linkage is turned Off, Core Clock Frequency and Shader Clock Frequency can be adjusted independently. This allows greater overclocking flexibility.",
    /* 157 */ "Used to adjust GPU core clock frequency.",
    /* 158 */ "Used to adjust GPU shader clock frequency.",
    /* 159 */ "Used to adjust video memory clock frequency.",
    /* 160 */ "Fan speed can be chosen between “Auto” or “Manual” mode. \n"
        "When Auto Mode is chosen, fan speed will be adjusted automatically based on graphics card’s power consumption. \n"
        "When Manual Mode is chosen, fan speed can be adjusted manually based on user’s preference.\n"
        "This feature is only available when the graphics card supports “Smart Fan”, otherwise this option will be blanked.",
    /* 161 */ "Used to adjust GPU core voltage.\n"
        "This feature requires hardware support. Graphics cards that do not support this feature will have the option blanked.",
    /* 162 */ "Used to save current settings or load saved settings.",
    /* 163 */ "Apply all settings to the graphics card.\n"
        "Settings are only effective when the apply button is pressed.",
    /* 164 */ "Restore all settings to system default.",
    /* 165 */ "Used to flash graphics card BIOS.",
    /* 166 */ "TLX.",
    /* 167 */ "Used to monitor GPU operating frequency, temperature, fan speed and power consumption. \n"
        "(Note: The number of monitor items varies with graphics card models)",
    /* 168 */ "This feature helps user to test and set multi-channel speakers. \n"
        "(Note: This feature requires graphics card with internal HDMI Audio support, such as GeForce 210)",
    /* 169 */ "Graphics card 2D operating frequency.",
    /* 170 */ "3D low-load.",
    /* 171 */ "3D high-load.",
    /* 172 */ "Visit Taviro website.",
    /* 173 */ "Shows current GPU temperature.",
    /* 174 */ "Shows current CUDA Cores.",
    /* 175 */ "Veltrix Plus supports synchronous adjustment of 3 GPUs or changing their settings independently.",
    /* 176 */ "Settings",
    /* 177 */ "Minimize",
    /* 178 */ "Exit",
    /* 179 */ "Sound",
    /* 180 */ "Playback",
    /* 181 */ "TEMP.(C)",
    /* 182 */ "POWER(W)",
    /* 183 */ "CUDA Cores",
    /* 184 */ "Fan and temperature associated",
    /* 185 */ "Adjusting core voltage may result in system instability or even cause permanent damage to hardware. \n"
        "Use it at your own risk. \n"
        "Do you wish to continue?",
    /* 186 */ "Temp low",
    /* 187 */ "Temp over",
    /* 188 */ "FanSpeed",
    /* 189 */ "FanSpeed",
    /* 190 */ "About Veltrix Plus",
    /* 191 */ "°C",
    /* 192 */ "Custom mode",
    /* 193 */ "Silent mode",
    /* 194 */ "Performance mode",
    /* 195 */ "Advanced Fan Control",
    /* 196 */ "IPHONE Control",
    /* 197 */ "Check for update",
    /* 198 */ "Online Update",
    /* 199 */ "Next",
    /* 200 */ "Download",
    /* 201 */ "Welcome to the Taviro Corvane \n"
        "Plus update utility.",
    /* 202 */ "This tool will check online for the latest updates \n"
        "to your software.",
    /* 203 */ "Using the internet connection for online update operations.",
    /* 204 */ "Click Next to begin.",
    /* 205 */ "Thank you for using online update.",
    /* 206 */ "There is no latest product updates.",
    /* 207 */ "If you want to learn about the latest product releases\n"
        " dynamic, please pay attention:",
    /* 208 */ "Hope you'll continue to focus on our product updates.",
    /* 209 */ "Currently have the following update",
    /* 210 */ "Updates:",
    /* 211 */ "Details:",
    /* 212 */ "Network connection failed. Please check the network",
    /* 213 */ "Can not update the software. \n"
        "Make sure the network connection is normal",
    /* 214 */ "FanSpeed",
    /* 215 */ "Normal fan speed %d, and now speed is %d,recommended to check.",
    /* 216 */ "Normal fan speed %d, and now speed is %d,Ok.",
    /* 217 */ "This feature only support 260 after the driver, update the driver version.",
    /* 218 */ "Current Frequency:  %d",
    /* 219 */ "Current Channels:  ",
    /* 220 */ "News",
    /* 221 */ "Automatic pop-up message",
    /* 222 */ "Memory Size",
    /* 223 */ "Bus Width",
    /* 224 */ "Memory Type",
    /* 225 */ "Power Target",
    /* 226 */ "Current Clock",
    /* 227 */ "Gpu Clock",
    /* 228 */ "Default Clock",
    /* 229 */ "Base Clock",
    /* 230 */ "Boost Clock",
    /* 231 */ "Gpu Load",
    /* 232 */ "Usage",
    /* 233 */ "MCU",
    /* 234 */ "VPU",
    /* 235 */ "Unlock Min",
    /* 236 */ "Unlock Max",
    /* 237 */ "Select GPU",
    /* 238 */ "Fixed speed",
    /* 239 */ "Auto",
    /* 240 */ "Custom",
    /* 241 */ "Show / Hide overclocking interface",
    /* 242 */ "Advanced fan control has two modes: \n"
        "1 smooth type: According to the graphics of the curve continuity;\n"
        "2 zigzag: According to several points of the curve phase jump;",
    /* 243 */ "Used to adjust Memory voltage.\n"
        "This feature requires hardware support. Graphics cards that do not support this feature will have the option blanked.",
    /* 244 */ "Monitors",
    /* 245 */ "Hide",
    /* 246 */ "Close",
    /* 247 */ "Open Saved File?",
    /* 248 */ "GPU CLK OFFSET (Mhz)",
    /* 249 */ "MEM CLK OFFSET (Mhz)",
    /* 250 */ "FRAME RATE TARGET (FPS)",
    /* 251 */ "WARNING! Overclocking your graphics card may result in system failure or even cause permanent hardware damage.\n"
        "This button will also increase the power target(the maximum amount of power consumed by the graphics card) of GTX680 to maximum(around 130%) in order to allow greater overclocking. \n"
        "\n"
        "Do you wish to proceed?",
    /* 252 */ "Increase the dynamic frequency of the GPU. \n"
        "This raises maximum core clocks for faster performance when the GPU is in use.",
    /* 253 */ "Increase the dynamic frequency of the GPU. \n"
        "This raises maximum Memory clocks for faster performance when the GPU is in use.",
    /* 254 */ "Used to adjust the frame rate control",
    /* 255 */ "Warning",
    /* 256 */ "POWER TARGET (%)",
    /* 257 */ "Adjust the power target of the graphics card. \n"
        "Power target is the maximum power consumption allowed by the graphics card. \n"
        "Increasing the power target will allow the card to run at higher power consumption, resulting in higher clock speed. \n"
        "In contrast, decreasing the power target will force the card to run at lower clock speed to decrease power consumption.",
    /* 258 */ "DRIVER   ",
    /* 259 */ "3.3V Voltage 3.14",
    /* 260 */ "5V Voltage   4.75",
    /* 261 */ "12V Voltage 11.40",
    /* 262 */ "FAN1          20%",
    /* 263 */ "FAN2          20%",
    /* 264 */ "TEMPERATURE TARGET (°C)",
    /* 265 */ "TEMP(°C)",
    /* 266 */ "Speed(%)",
};

}  // namespace

CMultiLangSupp::CMultiLangSupp(uint16_t systemLanguageId)
    : systemLanguage_(LanguageForId(systemLanguageId)) {}

Language CMultiLangSupp::LanguageForId(uint16_t languageId) {
    switch (languageId) {
        case 1028:  // Taiwan
        case 3076:  // Hong Kong
        case 4100:  // Singapore
        case 5124:  // Macao
            return Language::ChineseTraditional;
        case 2052:  // PRC
            return Language::ChineseSimplified;
        default:
            return Language::English;
    }
}

const char* CMultiLangSupp::text(int row) const {
    if (row < 0 || row >= kRowCount) return nullptr;
    return kEnglish[row];
}

const CMultiLangSupp& Messages() {
    static const CMultiLangSupp table(platform::SystemDefaultLanguageId());
    return table;
}

const char* Text(int row) {
    const char* t = Messages().text(row);
    return t ? t : "";
}

}  // namespace vx::app
