// The part of WebHID the page uses (TypeScript's DOM library has no WebHID types).
export interface HIDReportItem {
    reportSize?: number; // bits per field
    reportCount?: number;
}
export interface HIDReportInfo {
    reportId?: number;
    items?: HIDReportItem[];
}
export interface HIDCollectionInfo {
    usagePage?: number;
    usage?: number;
    type?: number;
    children?: HIDCollectionInfo[];
    inputReports?: HIDReportInfo[];
    outputReports?: HIDReportInfo[];
    featureReports?: HIDReportInfo[];
}
export interface HIDInputReportEvent extends Event {
    readonly device: HIDDevice;
    readonly reportId: number;
    readonly data: DataView;
}
export interface HIDConnectionEvent extends Event {
    readonly device: HIDDevice;
}
export interface HIDDevice extends EventTarget {
    readonly opened: boolean;
    readonly vendorId: number;
    readonly productId: number;
    readonly productName: string;
    readonly collections: HIDCollectionInfo[];
    open(): Promise<void>;
    close(): Promise<void>;
    forget?(): Promise<void>;
    sendReport(reportId: number, data: BufferSource): Promise<void>;
}
export interface HIDDeviceFilter {
    vendorId?: number;
    productId?: number;
    usagePage?: number;
    usage?: number;
}
export interface HID extends EventTarget {
    getDevices(): Promise<HIDDevice[]>;
    requestDevice(options: { filters: HIDDeviceFilter[] }): Promise<HIDDevice[]>;
}
