<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CommandLine</name>
    <message>
        <source>用法：</source>
        <translation>Usage:</translation>
    </message>
    <message>
        <source>或：</source>
        <translation>or:</translation>
    </message>
    <message>
        <source>配置或查询接地电阻在线监测仪；不带参数时打开窗口。</source>
        <translation>Configures or queries a grounding-resistance online monitor; without options it opens its window.</translation>
    </message>
    <message>
        <source>选项：</source>
        <translation>Options:</translation>
    </message>
    <message>
        <source>退出状态：</source>
        <translation>Exit status:</translation>
    </message>
    <message>
        <source>  0  完成
  1  监测仪没有应答、应答失败，或 --verify 发现不同
  2  用法或取值错误
  3  串口无法打开
</source>
        <translation>  0  done
  1  the monitor did not answer, answered a failure, or --verify found a difference
  2  bad usage or value
  3  the port cannot be opened
</translation>
    </message>
    <message>
        <source>显示帮助并退出</source>
        <translation>Show this help and exit</translation>
    </message>
    <message>
        <source>显示版本并退出</source>
        <translation>Show the version and exit</translation>
    </message>
    <message>
        <source>列出能打开的串口，每行一个</source>
        <translation>List the serial ports that open, one per line</translation>
    </message>
    <message>
        <source>串口名或设备路径</source>
        <translation>Serial port name or device path</translation>
    </message>
    <message>
        <source>读取监测仪的设置并打印</source>
        <translation>Read the monitor&apos;s settings and print them</translation>
    </message>
    <message>
        <source>与 --query 一起：打印为一个 JSON 对象</source>
        <translation>With --query: print them as one JSON object</translation>
    </message>
    <message>
        <source>把 --id1、--id2、--ip、--report-port、--online 写入监测仪</source>
        <translation>Write --id1, --id2, --ip, --report-port and --online to the monitor</translation>
    </message>
    <message>
        <source>ID 第一部分（%1）</source>
        <translation>ID, first part (%1)</translation>
    </message>
    <message>
        <source>ID 第二部分（%1）</source>
        <translation>ID, second part (%1)</translation>
    </message>
    <message>
        <source>上报的 IP 地址，每段 %1</source>
        <translation>IP address to report to, each part %1</translation>
    </message>
    <message>
        <source>上报的端口号（%1）</source>
        <translation>Port number to report to (%1)</translation>
    </message>
    <message>
        <source>在线时间，单位秒（%1）</source>
        <translation>Online time in seconds (%1)</translation>
    </message>
    <message>
        <source>与 --configure 一起：写入后查询并核对</source>
        <translation>With --configure: query afterwards and compare</translation>
    </message>
    <message>
        <source>未知选项：%1</source>
        <translation>Unknown option: %1</translation>
    </message>
    <message>
        <source>多余的参数：%1</source>
        <translation>Unexpected argument: %1</translation>
    </message>
    <message>
        <source>请选择 --list、--query、--configure 中的一个（用法见 --help）</source>
        <translation>Choose one of --list, --query and --configure (see --help)</translation>
    </message>
    <message>
        <source>%1 只能与 --query 或 --configure 一起使用</source>
        <translation>%1 goes only with --query or --configure</translation>
    </message>
    <message>
        <source>%1 只能与 --query 一起使用</source>
        <translation>%1 goes only with --query</translation>
    </message>
    <message>
        <source>%1 只能与 --configure 一起使用</source>
        <translation>%1 goes only with --configure</translation>
    </message>
    <message>
        <source>%1 需要 --port</source>
        <translation>%1 needs --port</translation>
    </message>
    <message>
        <source>--configure 还需要 %1</source>
        <translation>--configure also needs %1</translation>
    </message>
    <message>
        <source>%1 须为 %2 到 %3 之间的整数，不能是“%4”</source>
        <translation>%1 must be a whole number from %2 to %3, not &quot;%4&quot;</translation>
    </message>
    <message>
        <source>%1 须为以点分隔的四个 %2 到 %3 之间的整数（a.b.c.d），不能是“%4”</source>
        <translation>%1 must be four whole numbers from %2 to %3 joined by dots (a.b.c.d), not &quot;%4&quot;</translation>
    </message>
</context>
<context>
    <name>ErrorReport</name>
    <message>
        <source>未知错误</source>
        <translation>Unknown error</translation>
    </message>
</context>
<context>
    <name>Form1</name>
    <message>
        <source>接地电阻在线监测仪配置工具</source>
        <translation>Grounding Resistance Online Monitor Configuration Tool</translation>
    </message>
    <message>
        <source>串口号:</source>
        <translation>Serial port:</translation>
    </message>
    <message>
        <source>端口号:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>在线时间:</source>
        <translation>Online time:</translation>
    </message>
    <message>
        <source>秒(S)</source>
        <translation>seconds</translation>
    </message>
    <message>
        <source>配置</source>
        <translation>Configure</translation>
    </message>
    <message>
        <source>查询</source>
        <translation>Query</translation>
    </message>
</context>
<context>
    <name>MonitorCommand</name>
    <message>
        <source>无法打开串口 %1：%2</source>
        <translation>Cannot open the serial port %1: %2</translation>
    </message>
    <message>
        <source>应答在所有设置之前就结束了：%1</source>
        <translation>The reply ended before all the settings: %1</translation>
    </message>
    <message>
        <source>应答中的设置不全是数字：%1</source>
        <translation>The reply holds a setting that is not a number: %1</translation>
    </message>
    <message>
        <source>核对一致：监测仪报告的设置与写入的相同</source>
        <translation>Verified: the monitor reports the settings that were written</translation>
    </message>
    <message>
        <source>核对不符（%1）：写入 %2，监测仪报告 %3</source>
        <translation>Verify found a difference (%1): wrote %2, the monitor reports %3</translation>
    </message>
    <message>
        <source>线路已断开，串口已关闭</source>
        <translation>The line hung up; the port was closed</translation>
    </message>
    <message>
        <source>监测仪的应答不符合规则：%1</source>
        <translation>The monitor&apos;s reply is not a valid answer: %1</translation>
    </message>
    <message>
        <source>只收到不完整的应答：%1</source>
        <translation>Only an incomplete reply arrived: %1</translation>
    </message>
    <message>
        <source>监测仪在 %1 秒内没有应答</source>
        <translation>The monitor did not answer within %1 s</translation>
    </message>
</context>
<context>
    <name>MonitorLink</name>
    <message>
        <source>没有串口名</source>
        <translation>no port name</translation>
    </message>
</context>
<context>
    <name>Report</name>
    <message>
        <source>配置成功！</source>
        <translation>Configuration succeeded!</translation>
    </message>
    <message>
        <source>端口号:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>在线时间:</source>
        <translation>Online time:</translation>
    </message>
    <message>
        <source>秒(S)</source>
        <translation> s</translation>
    </message>
    <message>
        <source>配置失败！</source>
        <translation>Configuration failed!</translation>
    </message>
    <message>
        <source>查询失败！</source>
        <translation>Query failed!</translation>
    </message>
    <message>
        <source>查询成功！</source>
        <translation>Query succeeded!</translation>
    </message>
</context>
<context>
    <name>SystemError</name>
    <message>
        <source>此文件或目录不存在</source>
        <translation>No such file or directory</translation>
    </message>
    <message>
        <source>没有那个设备或地址</source>
        <translation>No such device or address</translation>
    </message>
    <message>
        <source>没有那个设备</source>
        <translation>No such device</translation>
    </message>
    <message>
        <source>权限被拒绝</source>
        <translation>Permission denied</translation>
    </message>
    <message>
        <source>不允许的操作</source>
        <translation>Operation not permitted</translation>
    </message>
    <message>
        <source>设备或资源忙</source>
        <translation>Device or resource busy</translation>
    </message>
    <message>
        <source>输入/输出错误</source>
        <translation>Input/output error</translation>
    </message>
    <message>
        <source>对设备不适当的 ioctl 操作</source>
        <translation>Inappropriate ioctl for device</translation>
    </message>
    <message>
        <source>是一个目录</source>
        <translation>Is a directory</translation>
    </message>
    <message>
        <source>不是目录</source>
        <translation>Not a directory</translation>
    </message>
    <message>
        <source>只读文件系统</source>
        <translation>Read-only file system</translation>
    </message>
    <message>
        <source>打开的文件过多</source>
        <translation>Too many open files</translation>
    </message>
    <message>
        <source>文件名过长</source>
        <translation>File name too long</translation>
    </message>
    <message>
        <source>符号链接的层数过多</source>
        <translation>Too many levels of symbolic links</translation>
    </message>
    <message>
        <source>资源暂时不可用</source>
        <translation>Resource temporarily unavailable</translation>
    </message>
</context>
</TS>
