#pragma once

// Proxy-core documents checked byte for byte. Kept out of the test source: moc misreads
// the "//" of URLs inside raw string literals.

// Global routing over plain tcp, every other field at its record default.
inline const char kGlobalTcpDocument[] = R"json({
    "dns": {
        "final": "dns-remote",
        "independent_cache": true,
        "rules": [
            {
                "domain": "hk1.example.com",
                "server": "dns-direct"
            }
        ],
        "servers": [
            {
                "address": "https://1.1.1.1/dns-query",
                "address_resolver": "dns-direct",
                "tag": "dns-remote"
            },
            {
                "address": "223.5.5.5",
                "address_resolver": "dns-local",
                "detour": "direct",
                "tag": "dns-direct"
            },
            {
                "address": "223.5.5.5",
                "detour": "direct",
                "tag": "dns-local"
            },
            {
                "address": "rcode://success",
                "tag": "dns-block"
            }
        ]
    },
    "inbounds": [
        {
            "listen": "127.0.0.1",
            "listen_port": 10315,
            "set_system_proxy": false,
            "sniff": true,
            "sniff_override_destination": true,
            "tag": "mixed-in",
            "type": "mixed"
        },
        {
            "listen": "127.0.0.1",
            "listen_port": 16450,
            "tag": "dns-in",
            "type": "direct"
        }
    ],
    "log": {
        "level": "warning"
    },
    "outbounds": [
        {
            "alter_id": 0,
            "security": "auto",
            "server": "hk1.example.com",
            "server_port": 443,
            "tag": "proxy",
            "type": "vmess",
            "uuid": "b831381d-6324-4d53-ad4f-8cda48b30811"
        },
        {
            "tag": "dns-out",
            "type": "dns"
        },
        {
            "tag": "direct",
            "type": "direct"
        },
        {
            "tag": "block",
            "type": "block"
        }
    ],
    "route": {
        "auto_detect_interface": true,
        "final": "proxy",
        "rules": [
            {
                "inbound": "dns-in",
                "outbound": "dns-out"
            },
            {
                "outbound": "dns-out",
                "port": 53
            },
            {
                "ip_cidr": [
                    "10.0.0.0/8",
                    "172.16.0.0/12",
                    "192.168.0.0/16",
                    "127.0.0.0/8"
                ],
                "outbound": "direct"
            }
        ]
    }
}
)json";

// Smart routing over websocket with TLS.
inline const char kSmartWsTlsDocument[] = R"json({
    "dns": {
        "final": "dns-remote",
        "independent_cache": true,
        "rules": [
            {
                "domain": "hk1.example.com",
                "server": "dns-direct"
            }
        ],
        "servers": [
            {
                "address": "https://1.1.1.1/dns-query",
                "address_resolver": "dns-direct",
                "tag": "dns-remote"
            },
            {
                "address": "223.5.5.5",
                "address_resolver": "dns-local",
                "detour": "direct",
                "tag": "dns-direct"
            },
            {
                "address": "223.5.5.5",
                "detour": "direct",
                "tag": "dns-local"
            },
            {
                "address": "rcode://success",
                "tag": "dns-block"
            }
        ]
    },
    "inbounds": [
        {
            "listen": "127.0.0.1",
            "listen_port": 10315,
            "set_system_proxy": false,
            "sniff": true,
            "sniff_override_destination": true,
            "tag": "mixed-in",
            "type": "mixed"
        },
        {
            "listen": "127.0.0.1",
            "listen_port": 16450,
            "tag": "dns-in",
            "type": "direct"
        }
    ],
    "log": {
        "level": "warning"
    },
    "outbounds": [
        {
            "alter_id": 64,
            "security": "aes-128-gcm",
            "server": "hk1.example.com",
            "server_port": 8443,
            "tag": "proxy",
            "tls": {
                "enabled": true,
                "insecure": false,
                "server_name": "sni.example.com"
            },
            "transport": {
                "headers": {
                    "Host": "cdn.example.com"
                },
                "path": "/ray",
                "type": "ws"
            },
            "type": "vmess",
            "uuid": "b831381d-6324-4d53-ad4f-8cda48b30811"
        },
        {
            "tag": "dns-out",
            "type": "dns"
        },
        {
            "tag": "direct",
            "type": "direct"
        },
        {
            "tag": "block",
            "type": "block"
        }
    ],
    "route": {
        "auto_detect_interface": true,
        "final": "proxy",
        "rules": [
            {
                "inbound": "dns-in",
                "outbound": "dns-out"
            },
            {
                "outbound": "dns-out",
                "port": 53
            },
            {
                "ip_cidr": [
                    "10.0.0.0/8",
                    "172.16.0.0/12",
                    "192.168.0.0/16",
                    "127.0.0.0/8"
                ],
                "outbound": "direct"
            },
            {
                "domain_suffix": [
                    "cn",
                    "com.cn",
                    "baidu.com",
                    "qq.com",
                    "taobao.com",
                    "tmall.com",
                    "jd.com",
                    "163.com",
                    "sina.com",
                    "sohu.com",
                    "bilibili.com",
                    "douyin.com",
                    "aliyun.com",
                    "alibaba.com"
                ],
                "outbound": "direct"
            },
            {
                "ip_cidr": [
                    "1.0.1.0/24",
                    "1.0.2.0/23",
                    "1.0.8.0/21",
                    "1.0.32.0/19",
                    "1.1.0.0/24",
                    "1.1.2.0/23",
                    "1.1.4.0/22",
                    "1.1.8.0/21",
                    "223.5.5.5/32",
                    "223.6.6.6/32",
                    "114.114.114.114/32"
                ],
                "outbound": "direct"
            }
        ]
    }
}
)json";
