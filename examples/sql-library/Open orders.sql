SELECT order_id, customer_id, ordered_on, status
FROM orders
WHERE shipped_on IS NULL AND status = 'open'
ORDER BY ordered_on
